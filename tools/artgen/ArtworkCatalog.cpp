#include "tools/artgen/ArtworkCatalog.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace artgen {

namespace {

constexpr double kPi = 3.14159265358979323846;

// The palette every picture shares (it matches ui/SPalette.h).
constexpr const char* kGrey = "#535355";
constexpr const char* kTrack = "#E5E5E5";
constexpr const char* kAccent = "#F5821F";
constexpr const char* kAccentDark = "#D96A0B";
constexpr const char* kAccentLight = "#FF9A3D";
constexpr const char* kGreen = "#2BB673";
constexpr const char* kAmber = "#F5A623";
constexpr const char* kRed = "#E5484D";

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

std::string TwoDigits(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

ArtworkJob Whole(std::string output, std::string templateName, int width, int height,
                 std::map<std::string, std::string> values = {}) {
    ArtworkJob job;
    job.output = std::move(output);
    job.templateName = std::move(templateName);
    job.canvasWidth = width;
    job.canvasHeight = height;
    job.values = std::move(values);
    return job;
}

ArtworkJob Crop(ArtworkJob job, std::string output, int x, int y, int width, int height) {
    job.output = std::move(output);
    job.cropX = x;
    job.cropY = y;
    job.width = width;
    job.height = height;
    return job;
}

// ---------------------------------------------------------------- window and title bar

void AddTitleBar(std::vector<ArtworkJob>& jobs) {
    jobs.push_back(Whole("window_logo.png", "logo.svg", 110, 24));
    jobs.push_back(Whole("icon_64.png", "app_icon.svg", 64, 64));
    jobs.push_back(Whole("imgLoadingSmall.png", "loading_small.svg", 24, 24));

    const std::string menu =
        "<path d='M8.5 9.5h11M8.5 14h11M8.5 18.5h11' stroke='{{ink}}' stroke-width='1.6' "
        "stroke-linecap='round' fill='none'/>";
    const std::string minimise =
        "<path d='M9 14.5h10' stroke='{{ink}}' stroke-width='1.6' stroke-linecap='round'/>";
    const std::string close =
        "<path d='M9.5 9.5l9 9M18.5 9.5l-9 9' stroke='{{ink}}' stroke-width='1.6' "
        "stroke-linecap='round'/>";
    struct Button {
        const char* output;
        std::string glyph;
        const char* wash;
    };
    const Button buttons[] = {
        {"Window/window_menu_sel_nor.png", menu, "0"},
        {"Window/window_menu_sel_over.png", menu, "0.07"},
        {"Window/window_menu_sel_click.png", menu, "0.14"},
        {"Window/window_minimum_nor.png", minimise, "0"},
        {"Window/window_close_nor.png", close, "0"},
    };
    for (const Button& button : buttons) {
        std::string glyph = button.glyph;
        const std::string ink = "{{ink}}";
        for (std::size_t at = glyph.find(ink); at != std::string::npos; at = glyph.find(ink)) {
            glyph.replace(at, ink.size(), kGrey);
        }
        jobs.push_back(Whole(button.output, "titlebar_button.svg", 28, 28,
                             {{"glyph", glyph}, {"wash", button.wash}}));
    }
}

// A shadowed rounded card cut into eight slices: corners of `corner` pixels and edges `edge`
// pixels long, in the order left_top, top, right_top, left, right, left_bottom, bottom,
// right_bottom.
void AddFrameSlices(std::vector<ArtworkJob>& jobs, const std::string (&names)[8], int canvas,
                    int inset, int radius, double blur, double shadowOpacity, int corner) {
    const ArtworkJob frame = Whole("", "frame.svg", canvas, canvas,
                                   {{"size", std::to_string(canvas)},
                                    {"inset", std::to_string(inset)},
                                    {"card", std::to_string(canvas - 2 * inset)},
                                    // The hairline lies just outside the card, so content
                                    // filling the card never covers it.
                                    {"lineInset", Number(inset - 0.5)},
                                    {"lineCard", Number(canvas - 2 * inset + 1)},
                                    {"radius", std::to_string(radius)},
                                    {"lineRadius", Number(radius + 0.5)},
                                    {"blur", Number(blur)},
                                    {"shadowOpacity", Number(shadowOpacity)}});
    const int edge = 8;
    const int middle = (canvas - edge) / 2;
    const int far = canvas - corner;
    jobs.push_back(Crop(frame, names[0], 0, 0, corner, corner));
    jobs.push_back(Crop(frame, names[1], middle, 0, edge, corner));
    jobs.push_back(Crop(frame, names[2], far, 0, corner, corner));
    jobs.push_back(Crop(frame, names[3], 0, middle, corner, edge));
    jobs.push_back(Crop(frame, names[4], far, middle, corner, edge));
    jobs.push_back(Crop(frame, names[5], 0, far, corner, corner));
    jobs.push_back(Crop(frame, names[6], middle, far, edge, corner));
    jobs.push_back(Crop(frame, names[7], far, far, corner, corner));
}

void AddFrames(std::vector<ArtworkJob>& jobs) {
    const std::string popup[8] = {"Window/Popup/pop_up_window_left_top.png",
                                  "Window/Popup/pop_up_window_middle_top.png",
                                  "Window/Popup/pop_up_window_right_top.png",
                                  "Window/Popup/pop_up_window_left_middle.png",
                                  "Window/Popup/pop_up_window_right_middle.png",
                                  "Window/Popup/pop_up_window_left_bottom.png",
                                  "Window/Popup/pop_up_window_middle_bottom.png",
                                  "Window/Popup/pop_up_window_right_bottom.png"};
    AddFrameSlices(jobs, popup, 48, 8, 8, 2.6, 0.22, 16);
    const std::string dropdown[8] = {
        "dropdown/dorp_down_left_top.png",      "dropdown/dorp_down_top_middle.png",
        "dropdown/dorp_down_right_top.png",     "dropdown/dorp_down_left_middle.png",
        "dropdown/dorp_down_right_middle.png",  "dropdown/dorp_down_left_bottom.png",
        "dropdown/dorp_down_bottom_middle.png", "dropdown/dorp_down_right_bottom.png"};
    AddFrameSlices(jobs, dropdown, 40, 6, 6, 2.0, 0.20, 12);
    // The check picture of a menu entry.
    jobs.push_back(
        Whole("dropdown/dorp_down_check.png", "menu_check.svg", 14, 14, {{"colour", kAccent}}));

    // The tooltip bubble: a 12-pixel frame and a tail under the middle of its bottom edge.
    const ArtworkJob bubble = Whole("", "tooltip.svg", 64, 54);
    const char* prefix = "tooltip/tooltip_";
    jobs.push_back(Crop(bubble, std::string(prefix) + "left_top.png", 0, 0, 12, 12));
    jobs.push_back(Crop(bubble, std::string(prefix) + "top_middle.png", 28, 0, 8, 12));
    jobs.push_back(Crop(bubble, std::string(prefix) + "right_top.png", 52, 0, 12, 12));
    jobs.push_back(Crop(bubble, std::string(prefix) + "left_middle.png", 0, 18, 12, 8));
    jobs.push_back(Crop(bubble, std::string(prefix) + "right_middle.png", 52, 18, 12, 8));
    jobs.push_back(Crop(bubble, std::string(prefix) + "left_bottom.png", 0, 32, 12, 12));
    jobs.push_back(Crop(bubble, std::string(prefix) + "bottom_middle.png", 13, 32, 8, 12));
    jobs.push_back(Crop(bubble, std::string(prefix) + "right_bottom.png", 52, 32, 12, 12));
    jobs.push_back(Crop(bubble, std::string(prefix) + "bottom_tail.png", 20, 32, 24, 22));
}

// ---------------------------------------------------------------- check box

void AddCheckBox(std::vector<ArtworkJob>& jobs) {
    jobs.push_back(Whole("Device/check_bg.png", "check.svg", 18, 18,
                         {{"fill", "#FFFFFF"}, {"stroke", "#B4B8BF"}, {"mark", "0"}}));
    const std::pair<const char*, const char*> marks[] = {
        {"Device/check_mark_normal.png", kAccent},
        {"Device/check_mark_over.png", kAccentLight},
        {"Device/check_mark_press.png", kAccentDark}};
    for (const auto& [output, colour] : marks) {
        jobs.push_back(Whole(output, "check.svg", 18, 18,
                             {{"fill", colour}, {"stroke", colour}, {"mark", "1"}}));
    }
}

// ---------------------------------------------------------------- progress bars

// Left cap, middle and right cap of a rounded bar `height` pixels high.
void AddBarSlices(std::vector<ArtworkJob>& jobs, const std::string& folder, const std::string& left,
                  const std::string& middle, const std::string& right, int height,
                  const std::string& colour, const std::string& opacity) {
    const int cap = height / 2;
    const int middleWidth = 4;
    const int width = 2 * cap + middleWidth;
    const ArtworkJob bar = Whole("", "bar.svg", width, height,
                                 {{"width", std::to_string(width)},
                                  {"height", std::to_string(height)},
                                  {"radius", Number(height / 2.0)},
                                  {"colour", colour},
                                  {"opacity", opacity}});
    if (!left.empty()) {
        jobs.push_back(Crop(bar, folder + left, 0, 0, cap, height));
    }
    if (!middle.empty()) {
        jobs.push_back(Crop(bar, folder + middle, cap, 0, middleWidth, height));
    }
    if (!right.empty()) {
        jobs.push_back(Crop(bar, folder + right, cap + middleWidth, 0, cap, height));
    }
}

void AddProgressBars(std::vector<ArtworkJob>& jobs) {
    const std::string common = "Common/progress/";
    AddBarSlices(jobs, common, "progress_left_bg.png", "progress_middle_bg.png",
                 "progress_right_bg.png", 10, kTrack, "1");
    AddBarSlices(jobs, common, "progress_left_bar.png", "progress_middle_bar.png",
                 "progress_right_bar.png", 10, kAccent, "1");
    AddBarSlices(jobs, common, "progress_left_bar_red.png", "progress_middle_bar_red.png",
                 "progress_right_bar_red.png", 10, kRed, "1");
    const std::string home = "Home/_progress/";
    AddBarSlices(jobs, home, "home_progress_left_bg.png", "home_progress_middle_bg.png",
                 "home_progress_right_bg.png", 8, "#DDE0E4", "1");
    AddBarSlices(jobs, home, "home_progress_left_bar.png", "home_progress_middle_bar.png",
                 "home_progress_right_bar.png", 8, kAccent, "1");
    AddBarSlices(jobs, home, "home_progress_left_bg_white.png", "home_progress_middle_bg_white.png",
                 "", 8, "#FFFFFF", "0.35");
    AddBarSlices(jobs, home, "home_progress_left_bar_white.png",
                 "home_progress_middle_bar_white.png", "home_progress_right_bar_white.png", 8,
                 "#FFFFFF", "1");
}

// ---------------------------------------------------------------- loading sequences

// Three dots; the bright one moves from the first to the last over the six frames (the
// sequence plays them forwards and back).
void AddSyncSequence(std::vector<ArtworkJob>& jobs) {
    for (int frame = 1; frame <= 6; ++frame) {
        const double position = (frame - 1) / 5.0 * 2.0;
        std::map<std::string, std::string> values{{"accent", kAccent}};
        for (int dot = 0; dot < 3; ++dot) {
            const double nearness = std::max(0.0, 1.0 - std::abs(position - dot));
            values["o" + std::to_string(dot)] = Number(0.25 + 0.75 * nearness);
            values["r" + std::to_string(dot)] = Number(2.6 + 0.9 * nearness);
        }
        jobs.push_back(Whole("Home/_sync_ani/home_sync_ani_" + TwoDigits(frame) + ".png",
                             "sync_dots.svg", 24, 24, values));
    }
}

// A ring with an orange arc that turns once per cycle while it grows and shrinks.
void AddSpinnerSequence(std::vector<ArtworkJob>& jobs) {
    const double centre = 20;
    const double radius = 15;
    for (int frame = 1; frame <= 60; ++frame) {
        const double t = (frame - 1) / 60.0;
        const double length = 30 + 220 * std::pow(std::sin(kPi * t), 2);
        const double start = -90 + 360 * t + 360 * (t - std::sin(2 * kPi * t) / (2 * kPi));
        const double end = start + length;
        auto point = [&](double degrees, char axis) {
            const double r = degrees * kPi / 180;
            return Number(axis == 'x' ? centre + radius * std::cos(r)
                                      : centre + radius * std::sin(r));
        };
        const std::string arc = "M" + point(start, 'x') + " " + point(start, 'y') + " A" +
                                Number(radius) + " " + Number(radius) + " 0 " +
                                (length > 180 ? "1" : "0") + " 1 " + point(end, 'x') + " " +
                                point(end, 'y');
        jobs.push_back(Whole("Animation/loading_progress_bar_30fps/loading_progress_bar_" +
                                 TwoDigits(frame) + ".png",
                             "spinner.svg", 40, 40,
                             {{"arc", arc}, {"accent", kAccent}, {"track", "#EEEEEE"}}));
    }
}

// A soft light that sweeps across a bar.
void AddGlintSequence(std::vector<ArtworkJob>& jobs) {
    for (int frame = 1; frame <= 50; ++frame) {
        const double t = (frame - 1) / 50.0;
        const double x = -60 + 420 * t;
        jobs.push_back(
            Whole("Animation/interval_loading_progressbar_light/interval_loading_light_" +
                      TwoDigits(frame) + ".png",
                  "glint.svg", 300, 10, {{"x", Number(x)}}));
    }
}

// An orange segment that runs along a grey track, speeding up in the middle.
void AddIndeterminateSequence(std::vector<ArtworkJob>& jobs) {
    for (int frame = 1; frame <= 50; ++frame) {
        const double t = (frame - 1) / 50.0;
        const double eased = t < 0.5 ? 2 * t * t : 1 - std::pow(-2 * t + 2, 2) / 2;
        const double x = -70 + 310 * eased;
        jobs.push_back(
            Whole("Animation/SW_Update_loading_progress_bar_30fps/"
                  "sw_update_loading_progress_bar_" +
                      TwoDigits(frame) + ".png",
                  "indeterminate.svg", 240, 6,
                  {{"x", Number(x)}, {"accent", kAccent}, {"track", kTrack}}));
    }
}

// ---------------------------------------------------------------- batteries

void AddBatteries(std::vector<ArtworkJob>& jobs) {
    struct Battery {
        const char* name;
        double level;  // fraction of the body filled
        const char* fill;
        const char* outline;
        std::string extra;
    };
    const std::string bolt =
        "<path d='M15.6 10.2 11.8 15.4h2.9l-1.2 4.4 4-5.6h-2.9z' fill='#FFFFFF' "
        "stroke='#FFFFFF' stroke-width='0.6' stroke-linejoin='round'/>";
    const std::string slash =
        "<path d='M8.5 20.5 19.5 9.5' stroke='#B4B8BF' stroke-width='1.6' "
        "stroke-linecap='round'/>";
    const std::string leaf =
        "<path d='M11.2 18.6c0-4.2 2.6-6.6 7.2-6.8-.1 4.4-2.6 6.9-6.8 6.9zm.1.1 3.6-3.6' "
        "fill='#FFFFFF' stroke='#2BB673' stroke-width='1.1' stroke-linejoin='round'/>";
    const Battery batteries[] = {
        {"home_orvel_battery_01.png", 0.12, kRed, kGrey, ""},
        {"home_orvel_battery_02.png", 0.30, kAmber, kGrey, ""},
        {"home_orvel_battery_03.png", 0.55, kGreen, kGrey, ""},
        {"home_orvel_battery_04.png", 0.80, kGreen, kGrey, ""},
        {"home_orvel_battery_05.png", 1.00, kGreen, kGrey, ""},
        {"home_orvel_battery_dim.png", 0.55, "#D5D7DB", "#C5C8CD", ""},
        {"home_orvel_battery_disconnect.png", 0.0, "#D5D7DB", "#C5C8CD", slash},
        {"home_orvel_battery_charging.png", 1.00, kGreen, kGrey, bolt},
        {"home_orvel_battery_saving.png", 0.0, kGreen, kGrey, leaf},
    };
    const double inner = 18.6;  // the body's inside width
    for (const Battery& b : batteries) {
        jobs.push_back(Whole(std::string("Home/") + b.name, "battery.svg", 30, 30,
                             {{"fillWidth", Number(std::max(0.0, inner * b.level))},
                              {"fill", b.fill},
                              {"outline", b.outline},
                              {"extra", b.extra}}));
    }
}

// ---------------------------------------------------------------- earbuds

struct BudColour {
    const char* word;
    const char* body;   // main colour
    const char* light;  // highlight
    const char* dark;   // shade
    const char* tip;    // the ear tip
    const char* line;   // outline
};

// Colours of the pairs, one per colour word of the status reports.
const BudColour kBudColours[] = {
    {"blue", "#86BDEB", "#C4E1F7", "#5593C8", "#6E9DC4", "#4F86B5"},
    {"pink", "#F5B8C8", "#FCE0E8", "#DD8AA1", "#D99AAB", "#C97990"},
    {"black", "#2E3035", "#5A5E66", "#141518", "#3A3C42", "#101114"},
    {"white", "#FAFAFA", "#FFFFFF", "#DADDE2", "#E4E6EA", "#BFC4CB"},
    {"Norq", "#9FCBAE", "#D2EBDB", "#6FA37F", "#86B394", "#5E8F6D"},
    {"red", "#E4464C", "#F48A8E", "#B32D33", "#C9555A", "#9E2328"},
    {"deepblue", "#233F73", "#4A68A3", "#142749", "#2E4A7D", "#0F1E3A"},
    {"Virel-purple", "#A58AE0", "#D2C4F3", "#7A5EC0", "#9280C9", "#6A50AE"},
};

std::map<std::string, std::string> BudValues(const BudColour& c) {
    return {{"body", c.body}, {"light", c.light}, {"dark", c.dark},
            {"tip", c.tip},   {"line", c.line},   {"word", c.word}};
}

void AddEarbuds(std::vector<ArtworkJob>& jobs) {
    for (const BudColour& colour : kBudColours) {
        const std::string word = colour.word;
        const struct {
            std::string suffix;
            const char* left;
            const char* right;
        } variants[] = {{"", "1", "1"}, {"_left-dim", "0.28", "1"}, {"_right-dim", "1", "0.28"}};
        for (const auto& variant : variants) {
            auto values = BudValues(colour);
            values["leftOpacity"] = variant.left;
            values["rightOpacity"] = variant.right;
            jobs.push_back(Whole("Device/home_buds_" + word + variant.suffix + ".png", "buds.svg",
                                 182, 88, values));
        }
        jobs.push_back(
            Whole("Device/home_craddle_" + word + ".png", "case.svg", 120, 88, BudValues(colour)));
    }
    jobs.push_back(Whole("Device/home_buds_kestrane.png", "buds_kestrane.svg", 171, 65));

    // The welcome, connecting and failure screens show a white pair.
    const auto white = BudValues(kBudColours[3]);
    jobs.push_back(Whole("Device/device_connect_earbuds_case_close_white.png",
                         "connect_case_closed.svg", 200, 140, white));
    jobs.push_back(Whole("Device/device_connect_earbuds_case_open_white.png",
                         "connect_case_open.svg", 200, 140, white));
    jobs.push_back(
        Whole("Device/device_connect_earbuds_white.png", "connect_buds.svg", 200, 140, white));
}

}  // namespace

// ---------------------------------------------------------------- tray icon

// The tray icon in five level steps (the home screen's battery steps), each drawn at every size
// a panel commonly asks for, so no panel has to scale a picture.
void AddTrayIcons(std::vector<ArtworkJob>& jobs) {
    struct Step {
        double level;  // fraction of the battery filled
        const char* fill;
    };
    // Red and yellow brighter than the palette's: they sit on the orange face.
    const Step steps[] = {{0.16, "#FF3B30"},
                          {0.30, "#FFD60A"},
                          {0.55, "#FFFFFF"},
                          {0.80, "#FFFFFF"},
                          {1.00, "#FFFFFF"}};
    const int sizes[] = {16, 22, 24, 32, 48, 64};
    const double bottom = 53.0;  // the inside of the battery: 15 .. 53
    const double inner = 38.0;
    for (int step = 0; step < 5; ++step) {
        const double height = inner * steps[step].level;
        for (const int size : sizes) {
            jobs.push_back(Whole(
                "Tray/tray_level_" + std::to_string(step) + "_" + std::to_string(size) + ".png",
                "tray.svg", size, size,
                {{"size", std::to_string(size)},
                 {"fillY", Number(bottom - height)},
                 {"fillHeight", Number(height)},
                 {"fill", steps[step].fill}}));
        }
    }
}

std::vector<ArtworkJob> BuildCatalog() {
    std::vector<ArtworkJob> jobs;
    AddTitleBar(jobs);
    AddFrames(jobs);
    AddCheckBox(jobs);
    AddProgressBars(jobs);
    AddSyncSequence(jobs);
    AddSpinnerSequence(jobs);
    AddGlintSequence(jobs);
    AddIndeterminateSequence(jobs);
    AddBatteries(jobs);
    AddEarbuds(jobs);
    AddTrayIcons(jobs);
    return jobs;
}

}  // namespace artgen
