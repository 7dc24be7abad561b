#include "sim/FirmwarePackageBuilder.h"

#include <fstream>
#include <iterator>

#include "fota/PackageFormat.h"
#include "fota/PackageWriter.h"
#include "sim/FirmwareDescriptor.h"

namespace sim {

bool FirmwarePackageBuilder::build(const std::string& model, const std::string& version,
                                   const std::vector<uint8_t>& image, std::vector<uint8_t>& package,
                                   std::string* error) {
    const std::size_t firstPart = image.size() >= 2 ? image.size() * 3 / 4 : image.size();
    if (firstPart > fota::kMaxTransferEntrySize ||
        image.size() - firstPart > fota::kMaxTransferEntrySize) {
        *error = "the firmware image is too large: each entry must stay below 16 MiB";
        return false;
    }
    fota::PackageWriter writer;
    writer.addEntry(FirmwareDescriptor::kEntryId, FirmwareDescriptor{model, version}.encode());
    if (firstPart > 0) {
        writer.addEntry(kFirstImageEntry,
                        std::vector<uint8_t>(
                            image.begin(), image.begin() + static_cast<std::ptrdiff_t>(firstPart)));
    }
    if (image.size() > firstPart) {
        writer.addEntry(kSecondImageEntry,
                        std::vector<uint8_t>(image.begin() + static_cast<std::ptrdiff_t>(firstPart),
                                             image.end()));
    }
    const base::Error made = writer.make(package);
    if (made && error != nullptr) {
        *error = made.message();
    }
    return !made;
}

bool FirmwarePackageBuilder::loadImage(const std::filesystem::path& file, uint32_t size,
                                       std::vector<uint8_t>& image, std::string* error) {
    if (!file.empty()) {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            *error = "cannot read the firmware image " + file.string();
            return false;
        }
        image.assign(std::istreambuf_iterator<char>(in), {});
        return true;
    }
    // A fixed sequence (xorshift) so that the same settings always give the same package.
    image.resize(size);
    uint32_t x = 0x2545F491u;
    for (uint8_t& byte : image) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        byte = static_cast<uint8_t>(x >> 24);
    }
    return true;
}

}  // namespace sim
