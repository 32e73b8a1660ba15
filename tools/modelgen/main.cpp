// SPDX-License-Identifier: MIT
// korvane-modelgen: writes a small whisper.cpp model file for tests, benchmarks and comparisons.
#include "tools/modelgen/ModelWriter.h"

#include <charconv>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>

namespace {

using korvane::modelgen::ModelKind;
using korvane::modelgen::ModelRecipe;

void printUsage()
{
    std::fputs("usage: korvane-modelgen [options] OUTPUT\n"
               "  --kind scripted|random|vocabulary-only   what the model computes (default scripted)\n"
               "  --phrase TEXT      the text a scripted model decodes (default \" Hello from Korvane.\")\n"
               "  --loop             a scripted model repeats its phrase and never ends the text\n"
               "  --state N          encoder and decoder width (default 64)\n"
               "  --heads N          attention heads in encoder and decoder (default 2)\n"
               "  --audio-layers N   encoder blocks (default 1)\n"
               "  --text-layers N    decoder blocks, not 2 (default 1)\n"
               "  --token TEXT       an extra vocabulary token; repeatable\n"
               "  --seed N           seed of the pseudo-random weights (default 1)\n",
               stderr);
}

int parseInt(std::string_view option, std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        throw std::invalid_argument(std::string(option) + " needs a whole number, got '" + std::string(text) + "'");
    }
    return value;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        ModelRecipe recipe;
        std::filesystem::path output;
        for (int i = 1; i < argc; ++i) {
            const std::string_view arg = argv[i];
            auto value = [&]() -> std::string_view {
                if (i + 1 >= argc) {
                    throw std::invalid_argument(std::string(arg) + " needs a value");
                }
                return argv[++i];
            };
            if (arg == "--kind") {
                const auto kind = value();
                if (kind == "scripted") {
                    recipe.kind = ModelKind::scripted;
                } else if (kind == "random") {
                    recipe.kind = ModelKind::random;
                } else if (kind == "vocabulary-only") {
                    recipe.kind = ModelKind::vocabularyOnly;
                } else {
                    throw std::invalid_argument("unknown kind '" + std::string(kind) + "'");
                }
            } else if (arg == "--phrase") {
                recipe.phrase = value();
            } else if (arg == "--loop") {
                recipe.loopsPhrase = true;
            } else if (arg == "--state") {
                recipe.state = parseInt(arg, value());
            } else if (arg == "--heads") {
                recipe.audioHeads = recipe.textHeads = parseInt(arg, value());
            } else if (arg == "--audio-layers") {
                recipe.audioLayers = parseInt(arg, value());
            } else if (arg == "--text-layers") {
                recipe.textLayers = parseInt(arg, value());
            } else if (arg == "--token") {
                recipe.extraTokens.emplace_back(value());
            } else if (arg == "--seed") {
                recipe.seed = static_cast<std::uint64_t>(parseInt(arg, value()));
            } else if (arg == "--help" || arg == "-h") {
                printUsage();
                return 0;
            } else if (!arg.empty() && arg.front() == '-') {
                throw std::invalid_argument("unknown option " + std::string(arg));
            } else if (output.empty()) {
                output = arg;
            } else {
                throw std::invalid_argument("more than one output file given");
            }
        }
        if (output.empty()) {
            printUsage();
            return 2;
        }
        korvane::modelgen::writeModel(output, recipe);
        std::printf("%s (%ju bytes)\n", output.c_str(),
                    static_cast<std::uintmax_t>(std::filesystem::file_size(output)));
        return 0;
    } catch (const std::invalid_argument& error) {
        std::fprintf(stderr, "korvane-modelgen: %s\n", error.what());
        return 2;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "korvane-modelgen: %s\n", error.what());
        return 1;
    }
}
