#pragma once
// The one rule for sinks made from callables: a callable returning bool says
// whether the pass goes on; one returning nothing always goes on.

#include <type_traits>
#include <utility>

namespace tenmari {

template <typename Fn, typename Record>
bool callSink(Fn& fn, const Record& record) {
    if constexpr (std::is_void_v<decltype(fn(record))>) {
        fn(record);
        return true;
    } else {
        return fn(record);
    }
}

}  // namespace tenmari
