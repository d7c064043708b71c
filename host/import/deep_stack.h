// Running a task on a thread with a stack of a given size.
//
// The assimp library reads and frees a file's node tree recursively, one stack frame or more per
// level of the hierarchy, so a deep tree needs a deep stack. The stack is reserved address space;
// the system gives it memory only as far as it is used.
#pragma once

#include <cstddef>
#include <functional>

namespace vhost {

// Runs `task` to its end on a new thread whose stack holds `stackBytes`, and waits for it. False
// when no such thread could be made; `task` has then not run.
bool RunWithStack(std::size_t stackBytes, const std::function<void()>& task);

}  // namespace vhost
