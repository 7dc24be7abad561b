#pragma once

#include <cstdint>
#include <optional>

#include "ctl/CommandTable.h"
#include "ctl/DoctorCheck.h"

namespace ctl {

// Every check of the doctor on this computer, for the pair asked about or every Auralis pair
// BlueZ knows.
DoctorChecks runDoctorChecks(std::optional<uint64_t> address);

// The JSON lines the doctor prints: one object per check, then the summary.
Json doctorSummary(const DoctorChecks& checks);

// "doctor [ADDRESS]": what stands between this computer and the earbuds, with fixes.
void addDoctorCommand(CommandTable& table);

}  // namespace ctl
