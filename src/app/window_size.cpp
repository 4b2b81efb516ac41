#include "app/window_size.h"

#include "app/profile_store.h"

namespace kirvo {

WindowSize::Size WindowSize::Restore(ProfileStore& store) {
    const int32_t cx = store.GetProfileInt(profile::kMain, profile::kWidth, 0);
    const int32_t cy = store.GetProfileInt(profile::kMain, profile::kHeight, 0);
    Size size;
    if (cx > kFrameWidth) size.width = cx - kFrameWidth;
    if (cy > kFrameHeight) size.height = cy - kFrameHeight;
    return size;
}

void WindowSize::Track(int clientWidth, int clientHeight, bool maximizedOrMinimized) {
    if (maximizedOrMinimized) return;
    if (clientWidth > kMinTrackedWidth && clientHeight > kMinTrackedHeight) {
        width_ = clientWidth;
        height_ = clientHeight;
    }
}

void WindowSize::SetInitial(int clientWidth, int clientHeight) {
    width_ = clientWidth;
    height_ = clientHeight;
}

void WindowSize::Store(ProfileStore& store) const {
    store.WriteProfileInt(profile::kMain, profile::kWidth, width_ + kFrameWidth);
    store.WriteProfileInt(profile::kMain, profile::kHeight, height_ + kFrameHeight);
}

}  // namespace kirvo
