// SPDX-License-Identifier: MIT
// korvane-icons OUTPUT_DIR: writes Korvane's icons into OUTPUT_DIR/hicolor as an icon theme lays
// them out: each as SVG (scalable) and as PNG in the sizes desktops look for, all drawn from one
// drawing. Runs at build time; needs no display.
#include "packaging/icons/IconArt.h"

#include <QImage>
#include <QPainter>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The sizes of the hicolor theme that launchers, menus and software centres ask for.
const std::vector<int> applicationSizes{16, 22, 24, 32, 48, 64, 128, 256, 512};
// Tray and panel sizes.
const std::vector<int> statusSizes{16, 22, 24, 32, 48};

bool writeIcon(const korvane::IconArt& art, const std::vector<int>& sizes, const fs::path& theme)
{
    const fs::path scalable = theme / "scalable" / art.context;
    fs::create_directories(scalable);
    std::ofstream svg(scalable / (art.name + ".svg"), std::ios::binary | std::ios::trunc);
    svg << korvane::toSvg(art);
    if (!svg.flush()) {
        std::fprintf(stderr, "korvane-icons: cannot write %s\n", (scalable / (art.name + ".svg")).c_str());
        return false;
    }
    for (const int side : sizes) {
        const std::string folder = std::to_string(side) + "x" + std::to_string(side);
        const fs::path directory = theme / folder / art.context;
        fs::create_directories(directory);
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            korvane::paint(art, painter, side);
        }
        const fs::path file = directory / (art.name + ".png");
        if (!image.save(QString::fromStdString(file.string()), "PNG")) {
            std::fprintf(stderr, "korvane-icons: cannot write %s\n", file.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: korvane-icons OUTPUT_DIR\n");
        return 2;
    }
    const fs::path theme = fs::path(argv[1]) / "hicolor";
    std::error_code error;
    fs::remove_all(theme, error);  // an icon dropped from the list must not linger in the package
    bool written = writeIcon(korvane::applicationIcon(), applicationSizes, theme);
    for (const korvane::IconArt& art : korvane::trayStateIcons()) {
        written = writeIcon(art, statusSizes, theme) && written;
    }
    return written ? 0 : 1;
}
