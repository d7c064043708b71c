#include "import/deep_stack.h"

#include <pthread.h>

namespace vhost {

namespace {

void* RunTask(void* task) {
    (*static_cast<const std::function<void()>*>(task))();
    return nullptr;
}

}  // namespace

bool RunWithStack(std::size_t stackBytes, const std::function<void()>& task) {
    pthread_attr_t attributes{};
    if (pthread_attr_init(&attributes) != 0) return false;
    pthread_t thread{};
    bool started = pthread_attr_setstacksize(&attributes, stackBytes) == 0;
    // The thread only reads the task, which outlives it.
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast)
    void* argument = const_cast<std::function<void()>*>(&task);
    started = started && pthread_create(&thread, &attributes, RunTask, argument) == 0;
    pthread_attr_destroy(&attributes);
    if (started) pthread_join(thread, nullptr);
    return started;
}

}  // namespace vhost
