// The real window: SDL2 presents the framebuffer, only the part that changed,
// through the window surface (a streaming texture where there is none), and
// turns SDL events into the key codes and mouse state the program polls.
#include <SDL2/SDL.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/audio_engine.h"
#include "platform/backend.h"
#include "platform/display_guard.h"
#include "platform/hooks.h"
#include "platform/input.h"
#include "platform/screen.h"

namespace backend {
namespace {

// Presenting more often than the display refreshes only costs CPU.
constexpr double kPresentInterval = 1.0 / 60.0;
constexpr double kPumpInterval = 0.009;
// Distinct from the start-up failures, which end with 1.

class SdlBackend final : public Backend {
  public:
    SdlBackend() {
        // Our own handlers end the run from any wait; SDL's would only queue a
        // quit event that an open dialog never reads.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
            std::fprintf(stderr,
                         "klangkelter: no display to show the window on (%s); set DISPLAY, "
                         "or use --headless for a scripted run\n",
                         SDL_GetError());
            std::exit(1);
        }
        // These drivers draw where no person can see it: the program would
        // play on unseen and unstoppable.
        const std::string driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
        if (driver == "offscreen" || driver == "dummy") {
            std::fprintf(stderr,
                         "klangkelter: the video driver \"%s\" shows no window to a person; set "
                         "DISPLAY, or use --headless for a scripted run\n",
                         driver.c_str());
            std::exit(1);
        }
        SDL_StopTextInput();
    }
    ~SdlBackend() override { shutdown(); }

    void desktopSize(int& width, int& height) override {
        SDL_DisplayMode mode;
        if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
            width = mode.w;
            height = mode.h;
        } else {
            width = height = 0;
        }
    }

    void openWindow(int width, int height) override {
        destroyWindow();
        window_ = SDL_CreateWindow(title_.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                   width, height, SDL_WINDOW_SHOWN);
        if (!window_) {
            std::fprintf(stderr, "klangkelter: cannot open the window: %s\n", SDL_GetError());
            std::exit(1);
        }
        SDL_SetWindowResizable(window_, SDL_FALSE);
        // Without its display the program cannot go on; exit() still shuts
        // the audio engine and the decoder down.
        guardDisplayConnection(window_);
        // The window surface needs no GL: under a software GL (Xvfb, remote
        // desktops) compositing a texture every frame costs a quarter of a core.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        surface_ = SDL_GetWindowSurface(window_);
        if (surface_ && surface_->format->BytesPerPixel != 4) surface_ = nullptr;
        if (!surface_) {
            renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED);
            if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
            texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888,
                                         SDL_TEXTUREACCESS_STREAMING, width, height);
        }
        width_ = width;
        height_ = height;
        shownGeneration_ = ~0ull;
        fullNeeded_ = true;
        SDL_StartTextInput();
        present();
    }

    void setTitle(const std::string& title) override {
        title_ = title;
        if (window_) SDL_SetWindowTitle(window_, title.c_str());
    }

    void pump() override {
        input::state.mouse.buttons &= ~releaseNextPump_;
        releaseNextPump_ = 0;
        pressedThisPump_ = 0;
        SDL_Event e;
        while (SDL_PollEvent(&e))
            handle(e);
        present();
    }

    void present() override {
        if ((!surface_ && !texture_) || screen::fb.lockDepth > 0) return;
        if (screen::fb.generation == shownGeneration_ && !fullNeeded_) return;
        double t = now();
        if (t - lastPresent_ < kPresentInterval) return;
        if (screen::fb.width != width_ || screen::fb.height != height_) return;
        const SDL_Rect r = changedArea();
        shownGeneration_ = screen::fb.generation;
        lastPresent_ = t;
        if (r.w <= 0) return;

        uint32_t lut[256];
        for (int i = 0; i < 256; ++i) {
            const auto& c = screen::fb.palette[size_t(i)];
            lut[i] = surface_ ? SDL_MapRGB(surface_->format, c.r, c.g, c.b)
                              : 0xFF000000u | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
        }
        void* raw = nullptr;
        int pitch = 0;
        if (surface_) {
            if (SDL_MUSTLOCK(surface_) && SDL_LockSurface(surface_) != 0) return;
            raw = static_cast<uint8_t*>(surface_->pixels) + r.y * surface_->pitch + r.x * 4;
            pitch = surface_->pitch;
        } else if (SDL_LockTexture(texture_, &r, &raw, &pitch) != 0) {
            return;
        }
        const uint8_t* src = screen::fb.pixels.data() + size_t(r.y) * size_t(width_) + size_t(r.x);
        for (int y = 0; y < r.h; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(raw) + y * pitch);
            for (int x = 0; x < r.w; ++x)
                row[x] = lut[src[x]];
            std::memcpy(&shown_[size_t(r.y + y) * size_t(width_) + size_t(r.x)], src, size_t(r.w));
            src += width_;
        }
        shownPalette_ = screen::fb.palette;
        fullNeeded_ = false;
        if (surface_) {
            if (SDL_MUSTLOCK(surface_)) SDL_UnlockSurface(surface_);
            SDL_UpdateWindowSurfaceRects(window_, &r, 1);
        } else {
            SDL_UnlockTexture(texture_);
            SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
            SDL_RenderPresent(renderer_);
        }
    }

    // The bounding box of the pixels that differ from what is on screen; the
    // whole window after a palette change or an expose.
    SDL_Rect changedArea() {
        const auto& fb = screen::fb;
        if (fullNeeded_ || shown_.size() != fb.pixels.size() || shownPalette_ != fb.palette) {
            shown_.assign(fb.pixels.size(), 0);
            return {0, 0, width_, height_};
        }
        int x1 = width_, x2 = -1, y1 = height_, y2 = -1;
        for (int y = 0; y < height_; ++y) {
            const uint8_t* a = fb.pixels.data() + size_t(y) * size_t(width_);
            const uint8_t* b = shown_.data() + size_t(y) * size_t(width_);
            if (std::memcmp(a, b, size_t(width_)) == 0) continue;
            int first = 0, last = width_ - 1;
            while (a[first] == b[first])
                ++first;
            while (a[last] == b[last])
                --last;
            x1 = std::min(x1, first);
            x2 = std::max(x2, last);
            y1 = std::min(y1, y);
            y2 = y;
        }
        if (x2 < 0) return {0, 0, 0, 0};
        return {x1, y1, x2 - x1 + 1, y2 - y1 + 1};
    }

    double now() override {
        using namespace std::chrono;
        return duration<double>(steady_clock::now().time_since_epoch()).count();
    }

    void sleepMs(double ms) override {
        // The loop sleeps every 5 ms; taking in events every 10 ms is still
        // instant to a user and halves what an idle window costs.
        double t = now();
        if (t - lastPump_ >= kPumpInterval) {
            lastPump_ = t;
            pump();
        }
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms));
    }

    void shutdown() override {
        destroyWindow();
        if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    }

  private:
    void destroyWindow() {
        if (texture_) SDL_DestroyTexture(texture_);
        if (renderer_) SDL_DestroyRenderer(renderer_);
        if (window_) SDL_DestroyWindow(window_);
        texture_ = nullptr;
        renderer_ = nullptr;
        surface_ = nullptr;
        window_ = nullptr;
    }

    static void setScanCode(SDL_Scancode sc, bool down) {
        int code = -1;
        switch (sc) {
        case SDL_SCANCODE_LCTRL:
        case SDL_SCANCODE_RCTRL:
            code = input::kCtrl;
            break;
        case SDL_SCANCODE_LSHIFT:
            code = input::kLeftShift;
            break;
        case SDL_SCANCODE_RSHIFT:
            code = input::kRightShift;
            break;
        case SDL_SCANCODE_LALT:
        case SDL_SCANCODE_RALT:
            code = input::kAlt;
            break;
        default:
            break;
        }
        if (code >= 0) input::state.keyDown[size_t(code)] = down;
    }

    static void keyPressed(const SDL_KeyboardEvent& k) {
        bool ctrl = (k.keysym.mod & KMOD_CTRL) != 0;
        SDL_Keycode sym = k.keysym.sym;
        if (ctrl && sym >= SDLK_a && sym <= SDLK_z) {
            input::pushKey(std::string(1, char(sym - SDLK_a + 1)));
            return;
        }
        switch (sym) {
        case SDLK_ESCAPE:
            input::pushKey("\x1b");
            break;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            input::pushKey("\r");
            break;
        case SDLK_BACKSPACE:
            input::pushKey("\b");
            break;
        case SDLK_TAB:
            input::pushKey("\t");
            break;
        case SDLK_UP:
            input::pushKey(input::extendedKey(input::kUp));
            break;
        case SDLK_DOWN:
            input::pushKey(input::extendedKey(input::kDown));
            break;
        case SDLK_LEFT:
            input::pushKey(input::extendedKey(ctrl ? input::kCtrlLeft : input::kLeft));
            break;
        case SDLK_RIGHT:
            input::pushKey(input::extendedKey(ctrl ? input::kCtrlRight : input::kRight));
            break;
        case SDLK_DELETE:
            input::pushKey(input::extendedKey(input::kDel));
            break;
        default:
            break;
        }
    }

    void handle(const SDL_Event& e) {
        switch (e.type) {
        case SDL_QUIT:
            input::pushKey(input::extendedKey(input::kClose));
            break;
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_CLOSE)
                input::pushKey(input::extendedKey(input::kClose));
            else if (e.window.event == SDL_WINDOWEVENT_LEAVE)
                input::state.mouse.x = input::state.mouse.y = -1;
            else if (e.window.event == SDL_WINDOWEVENT_EXPOSED)
                fullNeeded_ = true;
            break;
        case SDL_KEYDOWN:
            setScanCode(e.key.keysym.scancode, true);
            keyPressed(e.key);
            break;
        case SDL_KEYUP:
            setScanCode(e.key.keysym.scancode, false);
            break;
        case SDL_TEXTINPUT: {
            // Ctrl and Alt combinations arrive as key presses; typing only as text.
            if (SDL_GetModState() & (KMOD_CTRL | KMOD_ALT)) break;
            std::string text = screen::cp437(e.text.text);
            for (char c : text)
                if (static_cast<unsigned char>(c) >= 32) input::pushKey(std::string(1, c));
            break;
        }
        case SDL_MOUSEMOTION:
            input::state.mouse.x = e.motion.x;
            input::state.mouse.y = e.motion.y;
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            int bit = e.button.button == SDL_BUTTON_LEFT     ? 1
                      : e.button.button == SDL_BUTTON_RIGHT  ? 2
                      : e.button.button == SDL_BUTTON_MIDDLE ? 4
                                                             : 0;
            if (e.type == SDL_MOUSEBUTTONDOWN) {
                input::state.mouse.buttons |= bit;
                pressedThisPump_ |= bit;
            } else if (pressedThisPump_ & bit) {
                // Pressed and released between two looks: keep it down until
                // the next one, so the loop sees the click at all.
                releaseNextPump_ |= bit;
            } else {
                input::state.mouse.buttons &= ~bit;
            }
            input::state.mouse.x = e.button.x;
            input::state.mouse.y = e.button.y;
            if (e.type == SDL_MOUSEBUTTONDOWN) input::notePress(bit);
            break;
        }
        case SDL_MOUSEWHEEL: {
            int steps = e.wheel.y;
            if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) steps = -steps;
            input::state.mouse.wheel += steps;
            break;
        }
        case SDL_AUDIODEVICEREMOVED:
            if (!e.adevice.iscapture) audio::deviceLost(e.adevice.which);
            break;
        case SDL_AUDIODEVICEADDED:
            if (!e.adevice.iscapture) audio::deviceAdded();
            break;
        default:
            break;
        }
    }

    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    SDL_Surface* surface_ = nullptr; // owned by the window
    std::vector<uint8_t> shown_;     // the frame as it is on screen
    std::array<screen::Rgb, 256> shownPalette_{};
    bool fullNeeded_ = true;
    int width_ = 0, height_ = 0;
    std::string title_;
    uint64_t shownGeneration_ = ~0ull;
    double lastPresent_ = -1.0;
    int pressedThisPump_ = 0;
    int releaseNextPump_ = 0;
    double lastPump_ = -1.0;
};

} // namespace

std::unique_ptr<Backend> makeSdl() {
    return std::make_unique<SdlBackend>();
}

} // namespace backend
