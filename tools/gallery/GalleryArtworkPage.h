#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tools/gallery/GalleryPage.h"

class SCustomSView;
class SImage;

// The artwork: every picture of the programs in a scrolling sheet, and the home screen's
// device cluster put together from them at the places the home screen uses.
class GalleryArtworkPage : public GalleryPage {
public:
    GalleryArtworkPage();
    ~GalleryArtworkPage() override;
    void Build() override;

private:
    // A picture at (x, y) of the sheet with its file name under it; returns its bottom edge.
    double Picture(const std::string& path, double x, double y, double labelWidth = 0);
    double Heading(const std::string& text, double y);
    double BuildCluster(double y);
    double BuildEarbuds(double y);
    double BuildSmall(double y);
    double BuildFrames(double y);
    const SImage* Keep(const std::string& path);

    SCustomSView* m_sheet = nullptr;
    std::vector<std::unique_ptr<SImage>> m_images;
};
