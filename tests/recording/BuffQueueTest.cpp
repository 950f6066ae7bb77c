#include "recording/BuffQueueEx.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/NamedThread.h"

namespace {

// One scripted queue case: a queue of `Buffers`, then the steps, each answered as expected.
// Steps: E/F = GetEmptyBuffer/GetFullBuffer with time-out 0 (the buffer taken is recorded as
// its ring position), A = AddBuffer, R = ReleaseBuffer, X = ReleaseAllBuffers; a step is
// followed by '+' (answers true) or '-' (answers false).
struct TQueueCase {
    const char* Name;
    int32_t Buffers;
    const char* Steps;
    int32_t EmptyCount;
    int32_t FullCount;
    const char* Produced;  // ring positions handed to the producer, in order
    const char* Consumed;  // ring positions handed to the consumer, in order
};

const TQueueCase kQueueCases[] = {
    {"ProducerTakesAllThenTimesOut", 3, "E+ E+ E+ E-", 3, 0, "012", ""},
    {"ConsumerTimesOutOnNewQueue", 3, "F-", 3, 0, "", ""},
    {"AddMovesCountsGetFullDoesNot", 4, "E+ A+ E+ A+ F+", 2, 2, "01", "0"},
    {"ReleaseGivesTheBufferBack", 4, "E+ A+ E+ A+ F+ R+", 3, 1, "01", "0"},
    {"ConsumerGetsProducerOrderAroundTheRing", 3,
     "E+ A+ E+ A+ F+ R+ F+ R+ E+ A+ E+ A+ E+ A+ F+ R+ F+ R+ F+ R+", 3, 0, "01201", "01201"},
    {"FullRingBlocksProducerUntilRelease", 2, "E+ A+ E+ A+ E- F+ R+ E+", 1, 1, "010", "0"},
    {"ReleaseAllReturnsEveryFullBuffer", 3, "E+ A+ E+ A+ X+ E+", 3, 0, "012", ""},
};

void PrintTo(const TQueueCase& c, std::ostream* os) { *os << c.Name; }

}  // namespace

class BuffQueueCases : public ::testing::TestWithParam<TQueueCase> {};

TEST_P(BuffQueueCases, AnswersCountsAndOrder) {
    const TQueueCase& c = GetParam();
    TBuffQueueEx queue(c.Buffers, 16);
    std::vector<TBuffer*> ring;
    std::string produced;
    std::string consumed;
    auto position = [&](TBuffer* b) -> char {
        for (size_t i = 0; i < ring.size(); ++i) {
            if (ring[i] == b) {
                return static_cast<char>('0' + i);
            }
        }
        ring.push_back(b);
        return static_cast<char>('0' + ring.size() - 1);
    };
    // Ring positions are numbered in the order the buffers first appear.
    const std::string steps = c.Steps;
    for (size_t i = 0; i + 1 < steps.size(); i += 3) {
        const char op = steps[i];
        const bool expected = steps[i + 1] == '+';
        TBuffer* marker = reinterpret_cast<TBuffer*>(&queue);  // must stay when nothing is taken
        TBuffer* buff = marker;
        bool result = false;
        switch (op) {
            case 'E':
                result = queue.GetEmptyBuffer(buff, 0);
                break;
            case 'F':
                result = queue.GetFullBuffer(buff, 0);
                break;
            case 'A':
                result = queue.AddBuffer();
                break;
            case 'R':
                result = queue.ReleaseBuffer();
                break;
            case 'X':
                result = queue.ReleaseAllBuffers();
                break;
        }
        ASSERT_EQ(result, expected) << "step " << i / 3 << " (" << op << ")";
        if (op == 'E' || op == 'F') {
            if (result) {
                ASSERT_NE(buff, marker);
                (op == 'E' ? produced : consumed) += position(buff);
            } else {
                EXPECT_EQ(buff, marker) << "a failed Get leaves Buff untouched";
            }
        }
    }
    EXPECT_EQ(queue.EmptyCount(), c.EmptyCount);
    EXPECT_EQ(queue.FullCount(), c.FullCount);
    EXPECT_EQ(queue.BuffersCount(), c.Buffers);
    EXPECT_EQ(produced, c.Produced);
    EXPECT_EQ(consumed, c.Consumed);
}

INSTANTIATE_TEST_SUITE_P(BuffQueue, BuffQueueCases, ::testing::ValuesIn(kQueueCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(BuffQueue, ConsumerSeesTheProducersBytesAcrossThreads) {
    constexpr int kFrames = 200;
    TBuffQueueEx queue(4, 8);
    TNamedThread producer;
    producer.Start("queue-producer", [&] {
        for (int i = 0; i < kFrames; ++i) {
            TBuffer* b = nullptr;
            while (!queue.GetEmptyBuffer(b, 100)) {
            }
            b->Empty();
            b->AddData(&i, sizeof i);
            b->SetTimeStart(i);
            ASSERT_TRUE(queue.AddBuffer());
        }
    });
    for (int i = 0; i < kFrames; ++i) {
        TBuffer* b = nullptr;
        ASSERT_TRUE(queue.GetFullBuffer(b, 5000)) << "frame " << i;
        int value = -1;
        ASSERT_EQ(b->Len(), static_cast<int32_t>(sizeof value));
        std::memcpy(&value, b->Head(), sizeof value);
        EXPECT_EQ(value, i);
        EXPECT_EQ(b->TimeStart(), i);
        ASSERT_TRUE(queue.ReleaseBuffer());
    }
    producer.Join();
    EXPECT_EQ(queue.EmptyCount(), 4);
}

// Destruction while the other side waits without time-out: the wait answers false and the
// waiter leaves before the queue's memory goes (the sanitizer builds see a use after free
// otherwise).
TEST(BuffQueue, DestroyingWakesBlockedWaitersWithFalse) {
    for (const bool consumerSide : {true, false}) {
        auto queue = std::make_unique<TBuffQueue>(1, 4);
        TBuffQueue* q = queue.get();
        TBuffer* taken = nullptr;
        if (!consumerSide) {
            ASSERT_TRUE(q->GetEmptyBuffer(taken));  // the next one blocks
        }
        std::atomic<int> result{-1};
        TBuffer* buff = nullptr;
        TNamedThread waiter;
        waiter.Start("queue-waiter", [&, q] {
            result = consumerSide ? q->GetFullBuffer(buff) : q->GetEmptyBuffer(buff);
        });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (q->WaitingThreads() == 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
        ASSERT_EQ(q->WaitingThreads(), 1);
        queue.reset();
        waiter.Join();
        EXPECT_EQ(result, 0) << (consumerSide ? "consumer" : "producer");
        EXPECT_EQ(buff, nullptr);
    }
}

TEST(BuffQueue, ResetEmptiesBuffersAndRealignsTheRing) {
    TBuffQueueEx queue(3, 8);
    TBuffer* b = nullptr;
    ASSERT_TRUE(queue.GetEmptyBuffer(b, 0));
    b->AddData("xy", 2);
    ASSERT_TRUE(queue.AddBuffer());
    TBuffer* first = b;
    ASSERT_TRUE(queue.GetEmptyBuffer(b, 0));
    ASSERT_TRUE(queue.AddBuffer());
    ASSERT_TRUE(queue.GetFullBuffer(b, 0));

    ASSERT_TRUE(queue.Reset());
    EXPECT_EQ(queue.EmptyCount(), 3);
    EXPECT_FALSE(queue.GetFullBuffer(b, 0)) << "nothing is full after a reset";
    ASSERT_TRUE(queue.GetEmptyBuffer(b, 0));
    EXPECT_EQ(b, first) << "the producer starts at the first ring position again";
    EXPECT_EQ(b->Len(), 0);
    ASSERT_TRUE(queue.AddBuffer());
    TBuffer* consumed = nullptr;
    ASSERT_TRUE(queue.GetFullBuffer(consumed, 0));
    EXPECT_EQ(consumed, first) << "both sides stay in step";
}
