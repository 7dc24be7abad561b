#include "ui/SScrollBarFactory.h"

#include "ui/SScrollBar.h"

std::unique_ptr<SScrollBarBase> SScrollBarFactory::Create(int orientation) {
    return std::make_unique<SScrollBar>(orientation);
}
