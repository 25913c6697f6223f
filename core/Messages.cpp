#include "core/Messages.h"

#include <iostream>
#include <memory>
#include <mutex>
#include <utility>

namespace Core
{

namespace
{
// The sink is held through a shared pointer, so that delivering a message copies no
// function (nothing is allocated: the memory-exhaustion stop sends a message too).
struct Outlet
{
    std::mutex lock;
    std::shared_ptr<const Messages::Sink> sink;
};

// Never destroyed: messages may come from destructors that run at exit.
Outlet& outlet()
{
    static Outlet* instance = new Outlet;
    return *instance;
}
} // namespace

Messages::Sink Messages::setSink(Sink sink)
{
    auto replacement = sink ? std::make_shared<const Sink>(std::move(sink)) : nullptr;
    Outlet& o = outlet();
    std::lock_guard<std::mutex> guard(o.lock);
    std::swap(o.sink, replacement);
    return replacement ? *replacement : Sink();
}

void Messages::send(MessageLevel level, const std::string& text, bool errorStream)
{
    Outlet& o = outlet();
    std::shared_ptr<const Sink> sink;
    {
        std::lock_guard<std::mutex> guard(o.lock);
        sink = o.sink;
    }
    if (!sink) {
        (errorStream ? std::cerr : std::cout) << text << std::endl;
        return;
    }
    try {
        (*sink)(level, text);
    } catch (...) {
        // The library's callers are not ready for an exception from a message.
    }
}

} // namespace Core
