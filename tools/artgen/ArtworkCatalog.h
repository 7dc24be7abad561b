#pragma once

#include <vector>

#include "tools/artgen/ArtworkJob.h"

namespace artgen {

// Every picture the programs load, with the template and values that draw it.
std::vector<ArtworkJob> BuildCatalog();

}  // namespace artgen
