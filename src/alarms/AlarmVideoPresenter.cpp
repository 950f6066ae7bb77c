#include "alarms/AlarmVideoPresenter.h"

#include <mutex>
#include <utility>

namespace {

std::mutex gPresenterLock;
IAlarmVideoPresenter* gPresenter = nullptr;

}  // namespace

IAlarmVideoPresenter* SetAlarmVideoPresenter(IAlarmVideoPresenter* Presenter) {
    std::lock_guard lock(gPresenterLock);
    return std::exchange(gPresenter, Presenter);
}

bool HasAlarmVideoPresenter() {
    std::lock_guard lock(gPresenterLock);
    return gPresenter != nullptr;
}

void AlarmVideoShowFullScreen(uintptr_t Owner) {
    std::lock_guard lock(gPresenterLock);
    if (gPresenter != nullptr) {
        gPresenter->ShowFullScreen(Owner);
    }
}

void AlarmVideoHide(uintptr_t Owner) {
    std::lock_guard lock(gPresenterLock);
    if (gPresenter != nullptr) {
        gPresenter->Hide(Owner);
    }
}

void AlarmVideoPresentFrame(uintptr_t Owner, TAlarmVideoFramePtr Frame) {
    std::lock_guard lock(gPresenterLock);
    if (gPresenter != nullptr) {
        gPresenter->PresentFrame(Owner, std::move(Frame));
    }
}
