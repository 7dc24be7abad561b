#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/FrameCodec.h"
#include "link/FrameDecoder.h"
#include "sim/SimConfig.h"
#include "sim/Simulator.h"

namespace simtest {

// One request on the neighbourhood socket; the whole answer (until the sim closes).
std::string request(const std::filesystem::path& socket, const std::string& line);

// The program's end of a CONNECT: sends frames and cuts the earbuds' frames from the stream.
class LinkClient {
public:
    explicit LinkClient(devlink::Generation generation);
    ~LinkClient();
    LinkClient(const LinkClient&) = delete;
    LinkClient& operator=(const LinkClient&) = delete;

    // Sends the CONNECT line; returns the answer line ("OK", "ERR 111", ...).
    std::string connect(const std::filesystem::path& socket, const std::string& address,
                        std::string_view uuid);

    bool sendBytes(std::span<const uint8_t> bytes);
    // A frame of the link's generation with its own header.
    bool sendFrame(uint8_t id, const std::vector<uint8_t>& payload, bool response);
    // A frame with a chosen header layout and flags between the link's markers.
    bool sendFrame(uint8_t id, const std::vector<uint8_t>& payload,
                   const devlink::FrameOptions& options);

    // The next frame from the earbuds, or nothing within the time.
    std::optional<devlink::DecodedFrame> next(int timeoutMs = 3000);
    // The next frame with this id; frames with other ids before it are dropped.
    std::optional<devlink::DecodedFrame> expect(uint8_t id, int timeoutMs = 3000);
    // True when the earbuds close the link within the time.
    bool waitClosed(int timeoutMs = 3000);
    void close();

    devlink::Generation generation() const { return m_generation; }
    // Size of every chunk read so far.
    const std::vector<std::size_t>& chunkSizes() const { return m_chunks; }

private:
    bool readChunk(int timeoutMs);

    devlink::Generation m_generation;
    devlink::FrameDecoder m_decoder;
    std::deque<devlink::DecodedFrame> m_frames;
    std::vector<std::size_t> m_chunks;
    int m_fd = -1;
    bool m_eof = false;
};

// Timings short enough for tests.
sim::SimTiming fastTiming();

// An in-process sim on a private socket with a free update-server port.
class SimRunner {
public:
    explicit SimRunner(sim::SimConfig config = sim::SimConfig());
    ~SimRunner();

    // The config a test starts from: defaults, fast timing, a private socket, no devices.
    static sim::SimConfig baseConfig();
    static sim::EarbudSettings device(const std::string& address, const std::string& name,
                                      bool paired = true);

    const std::filesystem::path& socket() const { return m_socket; }
    sim::Simulator& simulator() { return *m_simulator; }
    std::string ctl(const std::string& words);
    std::string url() const { return m_simulator->updateServerUrl(); }

private:
    std::filesystem::path m_socket;
    std::unique_ptr<sim::Simulator> m_simulator;
};

}  // namespace simtest
