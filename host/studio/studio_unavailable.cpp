// The studio of builds without Boost (and of Windows builds).
#include "studio/studio_command.h"

namespace vhost {

bool StudioAvailable() { return false; }

int RunStudio(Host& /*host*/, const StudioOptions& /*options*/, std::ostream& /*out*/,
              std::ostream& err) {
    err << "vela-host: this host was built without the studio (it needs Boost and a system "
           "other than Windows); use run or show\n";
    return 1;
}

}  // namespace vhost
