#include "app/SDeviceCluster.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "services/SLocale.h"
#include "ui/SDC.h"
#include "ui/SImage.h"
#include "ui/TextFlags.h"

namespace {

// Colour words of the picture files, by colour slot (slot 7 shares the white pictures).
constexpr const char* kColourWords[] = {"blue", "pink",     "black", "white",       "Norq",
                                        "red",  "deepblue", "white", "Virel-purple"};
constexpr int kColourSlots = 9;

constexpr const char* kBatteryFiles[SDeviceCluster::kBatteryPictureCount] = {
    "\\res\\Home\\home_orvel_battery_01.png",
    "\\res\\Home\\home_orvel_battery_02.png",
    "\\res\\Home\\home_orvel_battery_03.png",
    "\\res\\Home\\home_orvel_battery_04.png",
    "\\res\\Home\\home_orvel_battery_05.png",
    "\\res\\Home\\home_orvel_battery_dim.png",
    "\\res\\Home\\home_orvel_battery_disconnect.png",
    "\\res\\Home\\home_orvel_battery_charging.png",
    "\\res\\Home\\home_orvel_battery_saving.png"};

// Geometry of the cluster, in logical units from its left (or right) and top edges.
constexpr double kNameTop = 22;
constexpr double kNameHeight = 26;
constexpr double kNameSlack = 8;
constexpr double kNameSide = 20;
constexpr double kBudsTop = 64;
constexpr double kBudsTopFirstGeneration = 89;
constexpr double kBatteryTop = 159;
constexpr double kLabelTop = 192;
constexpr double kLabelWidth = 52;
constexpr double kLabelHeight = 20;
constexpr double kBatterySize = 30;
// Without the case group the two indicators sit symmetrically about the middle.
constexpr double kBatteryFromEdge = 148;
constexpr double kLabelFromEdge = 137;
// With the case group the earbuds move left and the case takes the right-hand side.
constexpr double kBudsLeftWithCase = 29;
constexpr double kBatteryLeftWithCase = 58;
constexpr double kBatteryRightWithCase = 152;
constexpr double kLabelLeftWithCase = 47;
constexpr double kLabelRightWithCase = 141;
constexpr double kSeparatorLeft = 236;
constexpr double kSeparatorTop = 76;
constexpr double kSeparatorHeight = 130;
constexpr double kCaseLeft = 266;
constexpr double kCaseTop = 64;
constexpr double kCaseBatteryLeft = kCaseLeft + 60 - kBatterySize / 2;
constexpr double kCaseLabelLeft = kCaseLeft + 60 - kLabelWidth / 2;
// The shared indicator sits under the middle of the pair.
constexpr double kMergedOffset = 85;
constexpr double kMergedBatteryShift = 9;
constexpr double kMergedLabelShift = 20;
// The first-generation picture is always shown at this size.
constexpr double kFirstGenerationWidth = 171;
constexpr double kFirstGenerationHeight = 65;

constexpr int kNameFont = 121;  // 16 px bold
constexpr unsigned kCentredLine = DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_END_ELLIPSIS;

SMargin At(double left, double top) {
    return SMargin(left, top, -1, -1);
}

SMargin FromRight(double right, double top) {
    return SMargin(-1, top, right, -1);
}

}  // namespace

SDeviceCluster::SDeviceCluster() : m_lbDeviceName("My Buds") {}

// The widgets are declared after the pictures, so they go (and unlink themselves) first.
SDeviceCluster::~SDeviceCluster() = default;

int SDeviceCluster::BatteryPictureIndex(int level) {
    if (level < 10) {
        return 0;
    }
    if (level < 30) {
        return 1;
    }
    if (level < 55) {
        return 2;
    }
    if (level < 80) {
        return 3;
    }
    return 4;
}

std::string SDeviceCluster::PercentText(int level) {
    char text[16];
    std::snprintf(text, sizeof text, "%d%%", level);
    return text;
}

int SDeviceCluster::ColourSlot(int colourCode) {
    if (colourCode < kFirstColourCode || colourCode > kLastColourCode) {
        colourCode = kWhiteColourCode;
    }
    return colourCode - kFirstColourCode;
}

std::string SDeviceCluster::DevicePicturePath(int index) {
    if (index == kFirstGenerationPicture) {
        return "\\res\\Device\\home_buds_kestrane.png";
    }
    if (index < 0 || index >= 4 * kColourSlots) {
        return std::string();
    }
    const std::string word = kColourWords[index / 4];
    switch (index % 4) {
        case 0:
            return "\\res\\Device\\home_buds_" + word + ".png";
        case 1:
            return "\\res\\Device\\home_buds_" + word + "_left-dim.png";
        case 2:
            return "\\res\\Device\\home_buds_" + word + "_right-dim.png";
        default:
            return "\\res\\Device\\home_craddle_" + word + ".png";
    }
}

std::string SDeviceCluster::BatteryPicturePath(int index) {
    if (index < 0 || index >= kBatteryPictureCount) {
        return std::string();
    }
    return kBatteryFiles[index];
}

bool SDeviceCluster::IsDimmedPlacement(int placement) {
    return placement == 0 || placement == 4;
}

const SImage* SDeviceCluster::GetDevicePicture(int index) const {
    if (index < 0 || index >= kDevicePictureCount) {
        return nullptr;
    }
    return m_devicePictures[static_cast<std::size_t>(index)].get();
}

const SImage* SDeviceCluster::GetBatteryPicture(int index) const {
    if (index < 0 || index >= kBatteryPictureCount) {
        return nullptr;
    }
    return m_batteryPictures[static_cast<std::size_t>(index)].get();
}

void SDeviceCluster::LoadPictures() {
    if (m_picturesLoaded) {
        return;
    }
    m_picturesLoaded = true;
    for (int i = 0; i < kBatteryPictureCount; ++i) {
        m_batteryPictures[static_cast<std::size_t>(i)] = LoadImage(BatteryPicturePath(i));
    }
    for (int i = 0; i < kDevicePictureCount; ++i) {
        m_devicePictures[static_cast<std::size_t>(i)] = LoadImage(DevicePicturePath(i));
    }
}

void SDeviceCluster::ConfigureBatteryLabel(SLabel& label) {
    label.SetFormat(kCentredLine);
}

void SDeviceCluster::OnCreate() {
    // The earbud pictures show the left bud on the left; their batteries stay beside them
    // when the window reads right to left.
    SetKeepsPhysicalSides(1);
    LoadPictures();
    const SSize battery(kBatterySize, kBatterySize);
    const SSize label(kLabelWidth, kLabelHeight);
    m_lbDeviceName.Create("_lbDeviceName", this, At(-1, kNameTop), SSize(0, kNameHeight));
    m_lbDeviceName.SetFont(kNameFont);
    m_lbDeviceName.SetFormat(kCentredLine);
    m_staticImgEarBuds.Create("_staticImgEarBuds", this, At(-1, kBudsTop),
                              SSize(kFirstGenerationWidth, kFirstGenerationHeight));
    // The case picture stands in for both earbuds when neither is in use; it is narrower.
    m_staticImgEarBuds.SetCentered(1);
    m_staticImgBatteryL.Create("_staticImgBatteryL", this, At(kBatteryFromEdge, kBatteryTop),
                               battery);
    m_lbBatteryL.Create("_lbBatteryL", this, At(kLabelFromEdge, kLabelTop), label);
    m_staticImgBatteryR.Create("_staticImgBatteryR", this, FromRight(kBatteryFromEdge, kBatteryTop),
                               battery);
    m_lbBatteryR.Create("_lbBatteryR", this, FromRight(kLabelFromEdge, kLabelTop), label);
    m_staticImgCase.Create("_staticImgCase", this, At(kCaseLeft, kCaseTop), SSize(120, 88), 0);
    m_pnlSeparate.Create("_pnlSeparate", this, At(kSeparatorLeft, kSeparatorTop),
                         SSize(1, kSeparatorHeight), 0);
    m_pnlSeparate.SetBackgroundColor(kSeparator);
    m_pnlSeparate.SetAccessibleRole("separator");
    // The case battery widgets carry the right battery's names, as they always have.
    m_staticImgCaseBattery.Create("_staticImgBatteryR", this, At(kCaseBatteryLeft, kBatteryTop),
                                  battery, 0);
    m_lbCaseBattery.Create("_lbBatteryR", this, At(kCaseLabelLeft, kLabelTop), label, 0);
    for (SLabel* each : {&m_lbBatteryL, &m_lbBatteryR, &m_lbCaseBattery}) {
        ConfigureBatteryLabel(*each);
    }
    m_staticImgEarBuds.SetImage(GetDevicePicture(kFirstGenerationPicture));
    m_staticImgEarBuds.SetAccessibleName(AfxGetLocale()->GetString("MSG_A11yEarbuds"));
    m_built = true;
    ArrangeCluster();
}

void SDeviceCluster::OnSize(double, double) {
    if (m_built) {
        ArrangeCluster();
    }
}

void SDeviceCluster::SetDevice(const std::string& name, const std::string& modelCode) {
    LoadPictures();
    m_model = modelCode;
    m_lbDeviceName.SetText(name);
    ArrangeCluster();
}

void SDeviceCluster::OnDeviceStatusChange(const DeviceStatus& status) {
    LoadPictures();
    if (IsSecondGenerationModel()) {
        ApplySecondGeneration(status);
    } else {
        ApplyOtherModel(status);
    }
    Invalidate();
}

void SDeviceCluster::SetBattery(SStaticImage& image, SLabel& label, int level,
                                const char* nameKey) {
    label.SetText(PercentText(level));
    image.SetImage(GetBatteryPicture(BatteryPictureIndex(level)));
    // Read out as "Left earbud, 64 %": the picture says which part, the level is its value.
    const std::string number = std::to_string(level);
    const std::string_view args[] = {number};
    image.SetAccessibleName(SLocale::Format(AfxGetLocale()->GetString(nameKey), args));
    image.SetAccessibleLevel(level);
}

void SDeviceCluster::SetNotInEar(SStaticImage& image, SLabel& label, const char* nameKey) {
    label.SetText(std::string());
    image.SetImage(GetBatteryPicture(kBatteryDisconnect));
    image.SetAccessibleName(AfxGetLocale()->GetString(nameKey));
    image.SetAccessibleLevel(-1);
}

void SDeviceCluster::ApplySecondGeneration(const DeviceStatus& status) {
    const int slot = ColourSlot(status.DeviceColorL);
    m_staticImgCase.SetImage(GetDevicePicture(4 * slot + 3));

    const int left = status.wearingDetection >> 4;
    const int right = status.wearingDetection & 0xF;
    const bool leftDim = IsDimmedPlacement(left);
    const bool rightDim = IsDimmedPlacement(right);
    m_staticImgEarBuds.SetImage(
        GetDevicePicture(4 * slot + (leftDim ? 1 : 0) + (rightDim ? 2 : 0)));
    if (const SImage* reference = GetDevicePicture(0)) {
        const SSize size(reference->GetWidth(), reference->GetHeight());
        if (!(size == m_staticImgEarBuds.GetSize())) {
            m_staticImgEarBuds.SetSize(size);
        }
    }

    SetBattery(m_staticImgCaseBattery, m_lbCaseBattery, status.batteryCase, "MSG_A11yChargingCase");

    int levelLeft = status.batteryLeft;
    int levelRight = status.batteryRight;
    const int merged =
        (!leftDim && !rightDim && std::abs(levelLeft - levelRight) < kMergeDistance) ? 1 : 0;
    if (merged != 0) {
        levelLeft = levelRight = std::min(levelLeft, levelRight);
    }
    if (leftDim) {
        SetNotInEar(m_staticImgBatteryL, m_lbBatteryL, "MSG_A11yLeftNotInEar");
    } else {
        // One level shown for both buds is read as theirs.
        SetBattery(m_staticImgBatteryL, m_lbBatteryL, levelLeft,
                   merged != 0 ? "MSG_A11yBothEarbuds" : "MSG_A11yLeftEarbud");
    }
    if (rightDim) {
        SetNotInEar(m_staticImgBatteryR, m_lbBatteryR, "MSG_A11yRightNotInEar");
    } else {
        SetBattery(m_staticImgBatteryR, m_lbBatteryR, levelRight, "MSG_A11yRightEarbud");
    }

    const int caseHidden = (left != kPlacementInCase && right != kPlacementInCase) ? 1 : 0;
    const bool relayout = caseHidden != m_caseHidden || merged != m_merged;
    m_caseHidden = caseHidden;
    m_merged = merged;
    if (relayout) {
        ArrangeCluster();
    }
}

void SDeviceCluster::ApplyOtherModel(const DeviceStatus& status) {
    m_staticImgEarBuds.SetImage(GetDevicePicture(kFirstGenerationPicture));
    m_staticImgEarBuds.SetSize(SSize(kFirstGenerationWidth, kFirstGenerationHeight));
    SetBattery(m_staticImgBatteryL, m_lbBatteryL, status.batteryLeft, "MSG_A11yLeftEarbud");
    SetBattery(m_staticImgBatteryR, m_lbBatteryR, status.batteryRight, "MSG_A11yRightEarbud");
}

void SDeviceCluster::ArrangeCluster() {
    // Measured text can come out a hair narrower than drawn text; the slack keeps the name
    // from ending in "…" when it fits.
    const double nameWidth = m_lbDeviceName.SizeToText().width + kNameSlack;
    const double widest = GetRect(kRectOwnLogical, 0).Width() - 2 * kNameSide;
    m_lbDeviceName.SetSize(
        SSize(widest > 0 ? std::min(nameWidth, widest) : nameWidth, kNameHeight));
    m_lbDeviceName.SetMargin(At(-1, kNameTop));

    m_staticImgBatteryR.SetVisible(1);
    m_lbBatteryR.SetVisible(1);
    const int caseShown = (IsSecondGenerationModel() && m_caseHidden == 0) ? 1 : 0;
    m_staticImgCase.SetVisible(caseShown);
    m_pnlSeparate.SetVisible(caseShown);
    m_staticImgCaseBattery.SetVisible(caseShown);
    m_lbCaseBattery.SetVisible(caseShown);

    if (caseShown == 0) {
        m_staticImgEarBuds.SetMargin(
            At(-1, m_model == kModelFirst ? kBudsTopFirstGeneration : kBudsTop));
        m_staticImgBatteryL.SetMargin(At(kBatteryFromEdge, kBatteryTop));
        m_staticImgBatteryR.SetMargin(FromRight(kBatteryFromEdge, kBatteryTop));
        m_lbBatteryL.SetMargin(At(kLabelFromEdge, kLabelTop));
        m_lbBatteryR.SetMargin(FromRight(kLabelFromEdge, kLabelTop));
    } else {
        m_staticImgEarBuds.SetMargin(At(kBudsLeftWithCase, kBudsTop));
        m_staticImgBatteryL.SetMargin(At(kBatteryLeftWithCase, kBatteryTop));
        m_staticImgBatteryR.SetMargin(At(kBatteryRightWithCase, kBatteryTop));
        m_lbBatteryL.SetMargin(At(kLabelLeftWithCase, kLabelTop));
        m_lbBatteryR.SetMargin(At(kLabelRightWithCase, kLabelTop));
    }

    if (IsSecondGenerationModel() && m_merged != 0) {
        m_staticImgBatteryR.SetVisible(0);
        m_lbBatteryR.SetVisible(0);
        const double x = m_staticImgEarBuds.ComputeLayoutRect().left + kMergedOffset;
        m_staticImgBatteryL.SetMargin(At(x - kMergedBatteryShift, kBatteryTop));
        m_lbBatteryL.SetMargin(At(x - kMergedLabelShift, kLabelTop));
    }
    Invalidate();
}

void SDeviceCluster::OnPaint(SDC& dc) {
    dc.FillRect(GetRect(kRectOwnLogical, 0), kBackground);
}
