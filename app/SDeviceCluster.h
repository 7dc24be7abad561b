#pragma once

#include <array>
#include <memory>
#include <string>

#include "link/DeviceStatus.h"
#include "ui/SLabel.h"
#include "ui/SPanel.h"
#include "ui/SStaticImage.h"
#include "ui/SWindowBase.h"

class SImage;

// The upper part of the home screen: the connected pair's name, a picture of the earbuds in
// the pair's colour, and the battery levels of the left and right earbud and of the charging
// case, each as a picture and a percentage.
//
// Second-generation pairs ("VX-R175") grey out an earbud that is neither worn nor in the case,
// show one shared battery indicator when both earbuds are in use and their levels are close,
// and show the case group only while an earbud sits in the case. Every other model shows the
// single first-generation picture with two batteries. The cluster keeps the last model and the
// derived flags until the next SetDevice or status report. UI thread only.
class SDeviceCluster : public SWindowBase {
public:
    static constexpr const char* kModelSecond = "VX-R175";
    static constexpr const char* kModelFirst = "VX-R170";
    static constexpr int kBatteryPictureCount = 9;
    static constexpr int kDevicePictureCount = 37;
    static constexpr int kBatteryDisconnect = 6;
    static constexpr int kFirstGenerationPicture = 36;
    static constexpr int kFirstColourCode = 258;
    static constexpr int kLastColourCode = 266;
    static constexpr int kWhiteColourCode = 261;
    // Placements of an earbud (four bits each in wearingDetection).
    static constexpr int kPlacementInCase = 3;
    // Levels closer than this share one indicator.
    static constexpr int kMergeDistance = 15;
    static constexpr uint32_t kBackground = 0x00FFFFFFu;
    static constexpr uint32_t kSeparator = 0x00EBEBEBu;

    SDeviceCluster();
    ~SDeviceCluster() override;
    const char* GetClassName() const override { return "SDeviceCluster"; }

    // The connected device: stores the model, shows the name and lays the cluster out again.
    void SetDevice(const std::string& name, const std::string& modelCode);
    // A status report of the earbuds.
    void OnDeviceStatusChange(const DeviceStatus& status);

    // ---- the rules, for the screen and its tests
    // Battery level (percent; any value) to battery picture index 0..4.
    static int BatteryPictureIndex(int level);
    // "%d%": the level followed by a percent sign.
    static std::string PercentText(int level);
    // The colour slot 0..8 of a colour code; codes outside 258..266 are white.
    static int ColourSlot(int colourCode);
    // The resource path of device picture `index` (0..36).
    static std::string DevicePicturePath(int index);
    static std::string BatteryPicturePath(int index);
    // A placement value whose earbud is greyed out (0 not connected, 4 idle).
    static bool IsDimmedPlacement(int placement);

    // ---- state
    const std::string& GetModel() const { return m_model; }
    int IsCaseHidden() const { return m_caseHidden; }
    int IsMerged() const { return m_merged; }
    const SImage* GetDevicePicture(int index) const;
    const SImage* GetBatteryPicture(int index) const;

    SLabel& GetNameLabel() { return m_lbDeviceName; }
    SStaticImage& GetEarBudsImage() { return m_staticImgEarBuds; }
    SStaticImage& GetBatteryImageL() { return m_staticImgBatteryL; }
    SLabel& GetBatteryLabelL() { return m_lbBatteryL; }
    SStaticImage& GetBatteryImageR() { return m_staticImgBatteryR; }
    SLabel& GetBatteryLabelR() { return m_lbBatteryR; }
    SStaticImage& GetCaseImage() { return m_staticImgCase; }
    SPanel& GetSeparator() { return m_pnlSeparate; }
    SStaticImage& GetCaseBatteryImage() { return m_staticImgCaseBattery; }
    SLabel& GetCaseBatteryLabel() { return m_lbCaseBattery; }

    // Places every widget for the model and flags.
    void ArrangeCluster();

    void OnCreate() override;
    void OnSize(double width, double height) override;
    void OnPaint(SDC& dc) override;

private:
    void LoadPictures();
    void ApplySecondGeneration(const DeviceStatus& status);
    void ApplyOtherModel(const DeviceStatus& status);
    // A level beside its picture; nameKey names the picture for screen readers ("Left earbud, %1
    // %").
    void SetBattery(SStaticImage& image, SLabel& label, int level, const char* nameKey);
    // The picture of a bud that is not worn: no level.
    void SetNotInEar(SStaticImage& image, SLabel& label, const char* nameKey);
    bool IsSecondGenerationModel() const { return m_model == kModelSecond; }
    void ConfigureBatteryLabel(SLabel& label);

    std::string m_model = kModelFirst;
    int m_caseHidden = 1;
    int m_merged = 0;
    bool m_picturesLoaded = false;
    bool m_built = false;
    std::array<std::unique_ptr<SImage>, kBatteryPictureCount> m_batteryPictures;
    std::array<std::unique_ptr<SImage>, kDevicePictureCount> m_devicePictures;

    SLabel m_lbDeviceName;
    SStaticImage m_staticImgEarBuds;
    SStaticImage m_staticImgBatteryL;
    SLabel m_lbBatteryL;
    SStaticImage m_staticImgBatteryR;
    SLabel m_lbBatteryR;
    SStaticImage m_staticImgCase;
    SPanel m_pnlSeparate;
    SStaticImage m_staticImgCaseBattery;
    SLabel m_lbCaseBattery;
};
