#include "platform/pdf_core.h"

#include <GlobalParams.h>

#include <memory>
#include <mutex>

namespace qm {

namespace {
// The holders alive and whether they made the settings object.
std::mutex g_lock;
int g_holders = 0;
bool g_made = false;
}  // namespace

CPdfCoreSettings::CPdfCoreSettings() {
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_holders++ == 0) {
        g_made = !globalParams;
        if (g_made) globalParams = std::make_unique<GlobalParams>();
    }
}

CPdfCoreSettings::~CPdfCoreSettings() {
    std::lock_guard<std::mutex> lock(g_lock);
    if (--g_holders == 0 && g_made) {
        globalParams.reset();
        g_made = false;
    }
}

}  // namespace qm
