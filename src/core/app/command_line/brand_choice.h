#pragma once

#include "core/devices/brand.h"

namespace varda {

struct CommandLine;
class SettingsStore;

// The brand kept in the settings ("brand": "ravelin" or "kest"); the restricted one when none or an
// unknown name is kept.
BrandId stored_brand(const SettingsStore& store);
void store_brand(SettingsStore& store, BrandId id);

// The brand to start with: the command line's, which is kept for the next start, else the stored one.
BrandId start_brand(const CommandLine& command_line, SettingsStore& store);

// The other brand: what "Service functions" switches to.
BrandId toggled_brand(BrandId id);

}  // namespace varda
