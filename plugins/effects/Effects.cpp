// The animation plug-in: slide-in (type 7) and slide-out (type 8) effects. Each frame is
// composed into the caller's frame buffer from its snapshot; a timer on the caller's thread
// drives the frames, so the callbacks arrive where the control lives.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "ui/EffectApi.h"

namespace {

using zor::effects::AnimationParam;
using zor::effects::IUIEffect;
using zor::effects::IUIEffectCallBack;

constexpr int kSlideIn = 7;
constexpr int kSlideOut = 8;
constexpr int kFrameMs = 16;

std::uint32_t Scale(std::uint32_t pixel, int alpha) {
    // Premultiplied: every channel scales with the alpha.
    auto channel = [&](int shift) {
        return ((((pixel >> shift) & 0xFFu) * unsigned(alpha) + 127u) / 255u) << shift;
    };
    return channel(24) | channel(16) | channel(8) | channel(0);
}

// progress 0..1 -> vertical offset (pixels) and opacity (0..255) of the snapshot.
void FrameShape(int type, double progress, int height, int& offset, int& alpha) {
    const double eased = 1.0 - std::pow(1.0 - progress, 3.0);
    const int travel = std::max(1, height / 3);
    if (type == kSlideIn) {
        offset = -int(std::lround((1.0 - eased) * travel));
        alpha = int(std::lround(eased * 255.0));
    } else {
        offset = -int(std::lround(eased * travel));
        alpha = int(std::lround((1.0 - eased) * 255.0));
    }
}

void ComposeFrame(const AnimationParam& p, double progress) {
    int offset = 0, alpha = 255;
    FrameShape(p.animationType, progress, p.height, offset, alpha);
    std::memset(p.frame, 0, sizeof(std::uint32_t) * size_t(p.width) * size_t(p.height));
    for (int y = 0; y < p.height; ++y) {
        const int sy = y - offset;
        if (sy < 0 || sy >= p.height) continue;
        const std::uint32_t* src = p.snapshot + size_t(sy) * size_t(p.width);
        std::uint32_t* dst = p.frame + size_t(y) * size_t(p.width);
        for (int x = 0; x < p.width; ++x) dst[x] = alpha >= 255 ? src[x] : Scale(src[x], alpha);
    }
}

class SlideEffect final : public IUIEffect {
public:
    SlideEffect() {
        m_timer.setInterval(kFrameMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
    }
    ~SlideEffect() { m_timer.stop(); }

    bool AppendAnimation(const AnimationParam& param) override {
        if (param.animationType != kSlideIn && param.animationType != kSlideOut) return false;
        if (!param.snapshot || !param.frame || param.width <= 0 || param.height <= 0) return false;
        if (m_timer.isActive()) return false;
        m_animations.push_back(param);
        return true;
    }
    bool DependAnimation(std::uintptr_t) override { return false; }
    bool ClearAllAnimation() override {
        m_timer.stop();
        m_animations.clear();
        return true;
    }
    bool Animation(IUIEffectCallBack* callback, std::uintptr_t) override {
        if (!callback || m_animations.empty() || m_timer.isActive()) return false;
        m_callback = callback;
        for (const auto& a : m_animations) {
            ComposeFrame(a, 0.0);
            m_callback->OnUiEffectBegin(a.effectKey, a.animationType);
        }
        m_clock.start();
        m_timer.start();
        return true;
    }

private:
    void Tick() {
        if (!m_callback) return;
        bool finished = true;
        for (const auto& a : m_animations) {
            const double progress = std::min(1.0, double(m_clock.elapsed()) / std::max(1, a.durationMs));
            ComposeFrame(a, progress);
            if (progress < 1.0) finished = false;
        }
        m_callback->OnUiEffectDraw();
        if (!finished) return;
        m_timer.stop();
        auto done = std::move(m_animations);
        m_animations.clear();
        IUIEffectCallBack* callback = m_callback;
        m_callback = nullptr;
        for (const auto& a : done) callback->OnUiEffectEnd(a.effectKey ? a.effectKey : 1, a.animationType);
    }

    std::vector<AnimationParam> m_animations;
    IUIEffectCallBack* m_callback = nullptr;
    QTimer m_timer;
    QElapsedTimer m_clock;
};

}  // namespace

extern "C" {

__attribute__((visibility("default"))) IUIEffect* GetAnimation() {
    return new SlideEffect;
}

__attribute__((visibility("default"))) bool ReleaseAnimation(IUIEffect*& effect) {
    delete static_cast<SlideEffect*>(effect);
    effect = nullptr;
    return true;
}

// Exported under the name the program resolves (effects::kSupportAnimationTypeSymbol).
__attribute__((visibility("default"))) const char* GetSurportAnimationType() {
    return "7,8";
}
}
