#include "ui/SAnimatable.h"

SAnimatable::SAnimatable() = default;
SAnimatable::~SAnimatable() = default;

void SAnimatable::OnAnimate(int, double, double) {}
void SAnimatable::OnDrawAnimation(SDC&, int, double, double) {}
void SAnimatable::OnAnimationStart(int) {}
void SAnimatable::OnAnimationEnd(int) {}

AnimationInfo* SAnimatable::GetDrawingAnimation() const {
    for (const auto& animation : animations) {
        if (animation->transition) {
            return animation.get();
        }
    }
    return nullptr;
}
