#include "platform/NamedThread.h"

#include <pthread.h>

TNamedThread::~TNamedThread() { Join(); }

void TNamedThread::Start(std::string name, std::function<void()> body) {
    Join();
    FThread = std::thread([name = std::move(name), body = std::move(body)] {
        const std::string shortName = name.substr(0, 15);
        pthread_setname_np(pthread_self(), shortName.c_str());
        body();
    });
}

void TNamedThread::Join() {
    if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id()) {
        FThread.join();
    }
}

void TNamedThread::Detach() {
    if (FThread.joinable()) {
        FThread.detach();
    }
}
