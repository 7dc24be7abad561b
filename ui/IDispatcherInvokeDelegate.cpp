#include "ui/IDispatcherInvokeDelegate.h"

#include "ui/SDispatcher.h"

IDispatcherInvokeDelegate::~IDispatcherInvokeDelegate() {
    if (SDispatcher* dispatcher = SDispatcher::GetInstance()) {
        dispatcher->ForgetTarget(this);
    }
}
