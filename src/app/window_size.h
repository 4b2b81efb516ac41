#pragma once
#include <cstdint>

namespace kirvo {

class ProfileStore;

// The main window's size across runs. The window remembers its client size
// on each qualifying resize and stores it at an orderly close as the outer
// size of a standard frame (client + 8 by client + 46) in "Main"/"cx" and
// "Main"/"cy"; restoring subtracts the same frame, so the size after a
// restart equals the size at the last close.
class WindowSize {
public:
    static constexpr int kFrameWidth = 8;
    static constexpr int kFrameHeight = 46;
    static constexpr int kMinTrackedWidth = 300;   // exclusive
    static constexpr int kMinTrackedHeight = 200;  // exclusive

    struct Size {
        int width = 0;  // 0: keep the default
        int height = 0;
    };

    // Client size to start with, from the stored outer size. A missing, zero
    // or negative value (or one too small to hold a frame) keeps the default.
    static Size Restore(ProfileStore& store);
    // Whether the window was maximised at the last close ("Main"/"Maximiert").
    static bool RestoreMaximized(ProfileStore& store);

    // A resize of the client area. Remembered only when the window is not
    // maximised (or minimised) and the client is wider than 300 and higher
    // than 200.
    void Track(int clientWidth, int clientHeight, bool maximizedOrMinimized);
    // The start value, so a close before any qualifying resize still writes
    // a sensible size. stored is what Restore gave: where the window had to
    // open smaller than that (a smaller or scaled screen), the stored value
    // is written back as long as the window keeps its opening size, so a
    // screen that cannot show it does not shrink it for good.
    void SetInitial(int clientWidth, int clientHeight, Size stored);
    void SetInitial(int clientWidth, int clientHeight) { SetInitial(clientWidth, clientHeight, Size{}); }
    // The size as above, and whether the window is maximised now
    // ("Main"/"Maximiert", written once it was ever maximised): the next start
    // opens it so, with the size above for when it is restored.
    void Store(ProfileStore& store, bool maximized = false) const;

    int width() const { return width_; }
    int height() const { return height_; }

private:
    int32_t width_ = 0;
    int32_t height_ = 0;
    Size opened_;
    Size stored_;
};

}  // namespace kirvo
