#pragma once
// The Escape key's state at this moment, read from the X server's keyboard
// map. Without an X display (offscreen, Wayland without X) or when the
// display cannot be opened, the key is never held.

namespace zir {

class TEscapeKey {
public:
    TEscapeKey() = default;
    ~TEscapeKey();
    TEscapeKey(const TEscapeKey&) = delete;
    TEscapeKey& operator=(const TEscapeKey&) = delete;

    // True while Escape is down. The display is opened on the first call.
    bool Held();

private:
    void* display_ = nullptr; // Display*, kept out of this header
    unsigned char keycode_ = 0;
    bool tried_ = false;
};

} // namespace zir
