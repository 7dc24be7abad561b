#include "ui/SSeeThroughScrollBarFactory.h"

#include "ui/SSeeThroughScrollBar.h"

std::unique_ptr<SScrollBarBase> SSeeThroughScrollBarFactory::Create(int orientation) {
    return std::make_unique<SSeeThroughScrollBar>(orientation);
}
