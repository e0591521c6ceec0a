// The contract between the program and the animation plug-in (libzoreffects.so). The program
// asks the plug-in for an effect object, adds an animation described by AnimationParam, and
// starts it with a callback; the plug-in draws each frame into the caller's frame buffer and
// reports every frame and the end through the callback, on the caller's thread.
// Plain C++ with no toolkit types, so the plug-in and the program only share this header.
#pragma once

#include <cstdint>

namespace zor::effects {

struct AnimationParam {
    const std::uint32_t* snapshot = nullptr;  // premultiplied ARGB, width * height, row after row
    std::uint32_t* frame = nullptr;           // the plug-in's output, same size
    int width = 0, height = 0;
    int left = 0, top = 0, right = 0, bottom = 0;  // the control's rectangle in its window
    int animationType = 0;                         // 7 slide in, 8 slide out
    int direction = 0;                             // 1 show, 0 hide
    int durationMs = 180;
    std::uintptr_t effectKey = 0;  // handed back in the begin and end calls
};

class IUIEffectCallBack {
public:
    virtual void OnUiEffectBegin(std::uintptr_t effectKey, int animationType) = 0;
    // effectKey is non-zero when the animation ran to its end.
    virtual void OnUiEffectEnd(std::uintptr_t effectKey, int animationType) = 0;
    virtual void OnUiEffectDraw() = 0;

protected:
    ~IUIEffectCallBack() = default;
};

class IUIEffect {
public:
    virtual bool AppendAnimation(const AnimationParam& param) = 0;                     // slot 0
    virtual bool DependAnimation(std::uintptr_t effectKey) = 0;                        // slot 1
    virtual bool ClearAllAnimation() = 0;                                              // slot 2
    virtual bool Animation(IUIEffectCallBack* callback, std::uintptr_t reserved) = 0;  // slot 3

protected:
    ~IUIEffect() = default;
};

// Entry points of the plug-in (extern "C").
using GetAnimationFn = IUIEffect* (*)();
using ReleaseAnimationFn = bool (*)(IUIEffect*&);
using GetSupportAnimationTypeFn = const char* (*)();
// The exported name of the last entry point, spelt as plug-ins export it.
inline constexpr const char* kSupportAnimationTypeSymbol = "GetSurportAnimationType";

inline constexpr const char* kPluginFileName = "libzoreffects.so";

}  // namespace zor::effects
