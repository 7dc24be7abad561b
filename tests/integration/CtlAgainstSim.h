#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/common/TestSandbox.h"
#include "tests/integration/SimNeighbourhood.h"

namespace integration {

// auralis-ctl against auralis-sim: the neighbourhood of the given pairs (and update server, when
// one is given) runs for the test, and the auralis-ctl runs of the test find it.
class CtlAgainstSim : public ::testing::Test {
protected:
    explicit CtlAgainstSim(const nlohmann::json& pairs,
                           const nlohmann::json& updateServer = nlohmann::json())
        : m_sim(pairs, updateServer), m_socket("AURALIS_SIM_SOCKET", m_sim.socket()) {}

    void SetUp() override { ASSERT_TRUE(m_sim.started()); }

    SimNeighbourhood m_sim;
    testing_support::ScopedEnv m_socket;
};

// A package in a fresh folder: entry 2 of imageSize bytes and, when secondSize is not 0, entry 3
// of secondSize bytes. Its path.
std::string writeCtlPackage(std::size_t imageSize, std::size_t secondSize = 0);

// Each line of text, parsed (a discarded value for a line that is not JSON).
std::vector<nlohmann::json> jsonLines(const std::string& text);

// The last line of text, parsed (discarded when there is none or it is not JSON).
nlohmann::json lastObject(const std::string& text);

// A failure's object without its "error" text (null when it has none, so that a comparison
// with the expected object fails).
nlohmann::json withoutError(nlohmann::json object);

}  // namespace integration
