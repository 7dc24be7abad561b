#pragma once

#include <memory>

#include "ui/SScrollBarBase.h"

// Makes the scroll bars of a view; a view may be given another factory before it is created.
class SScrollBarFactory {
public:
    virtual ~SScrollBarFactory() = default;
    virtual std::unique_ptr<SScrollBarBase> Create(int orientation);
};
