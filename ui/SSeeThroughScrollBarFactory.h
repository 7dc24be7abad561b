#pragma once

#include "ui/SScrollBarFactory.h"

// Makes see-through scroll bars.
class SSeeThroughScrollBarFactory : public SScrollBarFactory {
public:
    std::unique_ptr<SScrollBarBase> Create(int orientation) override;
};
