// The host a studio test runs on: the real module loaded and start-up finished, as the studio's
// command makes it before it serves. Made on the thread that is to be the host thread.
#pragma once

#include <memory>

#include <gtest/gtest.h>

#include "host.h"

inline std::unique_ptr<vhost::Host> StartedHost() {
    auto host = std::make_unique<vhost::Host>();
    EXPECT_TRUE(host->LoadModule(VELA_MODULE_FILE).started) << "the module did not start";
    host->FinishStartup();
    return host;
}
