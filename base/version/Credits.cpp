#include "base/version/Credits.h"

#include <array>

namespace korvane {

namespace {

// Licences as Debian 12 ships these libraries: OpenSSL 3 is Apache-2.0, ICU 72 still carries the
// Unicode data-files licence, Qt 6's libraries are used under the LGPL.
constexpr std::array credits{
    Credit{"whisper.cpp", "speech recognition", "MIT", "Copyright (c) 2023-2026 The ggml authors",
           "https://github.com/ggml-org/whisper.cpp"},
    Credit{"ggml", "the tensor library under whisper.cpp", "MIT", "Copyright (c) 2023-2026 The ggml authors",
           "https://github.com/ggml-org/ggml"},
    Credit{"Qt", "windows, tray and D-Bus", "LGPL-3.0-only", "Copyright (C) The Qt Company Ltd. and other contributors",
           "https://www.qt.io/"},
    Credit{"ICU", "Unicode text handling", "Unicode-DFS-2016", "Copyright (c) Unicode, Inc. and others",
           "https://icu.unicode.org/"},
    Credit{"libcurl", "model downloads and update checks", "curl",
           "Copyright (c) Daniel Stenberg and many contributors", "https://curl.se/"},
    Credit{"OpenSSL", "checksums of downloaded models", "Apache-2.0", "Copyright (c) The OpenSSL Project Authors",
           "https://www.openssl.org/"},
    Credit{"libsoxr", "resampling the microphone to 16 kHz", "LGPL-2.1-or-later", "Copyright (c) Rob Sykes",
           "https://sourceforge.net/projects/soxr/"},
    Credit{"nlohmann/json", "settings and catalogue files", "MIT", "Copyright (c) Niels Lohmann",
           "https://github.com/nlohmann/json"},
    Credit{"PulseAudio client library", "recording (PulseAudio or PipeWire)", "LGPL-2.1-or-later",
           "Copyright (c) The PulseAudio developers", "https://www.freedesktop.org/wiki/Software/PulseAudio/"},
    Credit{"AT-SPI", "finding the focused text field", "LGPL-2.1-or-later", "Copyright (c) The GNOME project",
           "https://gitlab.gnome.org/GNOME/at-spi2-core"},
    Credit{"Xlib, libXi, libXtst, libxkbcommon", "the shortcut and the paste keys", "MIT",
           "Copyright (c) The X.Org Foundation and others", "https://www.x.org/"},
};

}  // namespace

std::span<const Credit> thirdPartyCredits()
{
    return credits;
}

std::string creditsText()
{
    std::string text = "Korvane is released under the " + std::string(korvaneLicence) + " licence.\n";
    text += "Built on:\n";
    for (const Credit& credit : credits) {
        text += "  ";
        text += credit.name;
        text += " \u2014 ";
        text += credit.purpose;
        text += " \u2014 ";
        text += credit.licence;
        text += " \u2014 ";
        text += credit.homePage;
        text += "\n";
    }
    return text;
}

}  // namespace korvane
