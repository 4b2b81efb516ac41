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

bool WindowSize::RestoreMaximized(ProfileStore& store) {
    return store.GetProfileInt(profile::kMain, profile::kMaximized, 0) != 0;
}

void WindowSize::Track(int clientWidth, int clientHeight, bool maximizedOrMinimized) {
    if (maximizedOrMinimized) return;
    if (clientWidth > kMinTrackedWidth && clientHeight > kMinTrackedHeight) {
        width_ = clientWidth;
        height_ = clientHeight;
    }
}

void WindowSize::SetInitial(int clientWidth, int clientHeight, Size stored) {
    width_ = clientWidth;
    height_ = clientHeight;
    opened_ = {clientWidth, clientHeight};
    stored_ = stored;
}

void WindowSize::Store(ProfileStore& store, bool maximized) const {
    const bool keepWidth = stored_.width > opened_.width && width_ == opened_.width;
    const bool keepHeight = stored_.height > opened_.height && height_ == opened_.height;
    store.WriteProfileInt(profile::kMain, profile::kWidth, (keepWidth ? stored_.width : width_) + kFrameWidth);
    store.WriteProfileInt(profile::kMain, profile::kHeight, (keepHeight ? stored_.height : height_) + kFrameHeight);
    // Written only where it says something: a window never maximised writes what it always did.
    if (maximized || RestoreMaximized(store)) store.WriteProfileInt(profile::kMain, profile::kMaximized, maximized ? 1 : 0);
}

}  // namespace kirvo
