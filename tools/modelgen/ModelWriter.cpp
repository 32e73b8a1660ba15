#include "tools/modelgen/ModelWriter.h"

#include "tools/modelgen/GeneratedVocabulary.h"

#include <ggml.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace korvane::modelgen {
namespace {

static_assert(std::endian::native == std::endian::little, "model files are little-endian");

constexpr std::uint32_t kFileMagic = 0x67676d6c;  // "ggml"
constexpr int kAudioContext = 1500;               // encoder positions of one 30 s window
constexpr int kMels = 80;
constexpr int kFftBins = 201;  // 400-sample FFT at 16 kHz
constexpr int kSampleRate = 16000;

// A small deterministic generator (xorshift64*), so the same seed gives the same file on every
// standard library, unlike the <random> distributions.
class Noise {
public:
    explicit Noise(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ULL + 1) {}

    // Uniform in [-amplitude, amplitude).
    float uniform(float amplitude)
    {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        const std::uint64_t bits = (state_ * 0x2545F4914F6CDD1DULL) >> 40;  // 24 random bits
        return amplitude * (static_cast<float>(bits) / 8388608.0f - 1.0f);
    }

private:
    std::uint64_t state_;
};

// How a tensor is stored: matrices and convolution kernels in f16, vectors in f32 (for ftype 1 the
// loader expects exactly this split).
enum class Storage { vector, matrix, convolution };

// What a tensor is, which decides how it is filled.
enum class Role {
    normWeight,       // layer-norm gain: 1
    bias,             // 0
    weight,           // pseudo-random, scaled by fan-in
    positional,       // encoder positions: pseudo-random; decoder positions: see fill()
    attentionOutput,  // decoder self/cross attention output projection
    decoderMlpIn,     // decoder MLP first matrix
    decoderMlpOut,    // decoder MLP second matrix
    tokenEmbedding,   // decoder token embedding, tied with the output projection
};

struct Tensor {
    std::string name;
    std::vector<int> ne;  // ggml order: ne[0] varies fastest
    Storage storage;
    Role role;
    int layer = 0;
    bool decoder = false;

    std::int64_t elements() const
    {
        std::int64_t n = 1;
        for (const int d : ne) {
            n *= d;
        }
        return n;
    }
};

std::vector<Tensor> tensorsOf(const ModelRecipe& recipe)
{
    const int d = recipe.state;
    std::vector<Tensor> t;
    t.push_back({"encoder.positional_embedding", {d, kAudioContext}, Storage::vector, Role::positional});
    t.push_back({"encoder.conv1.weight", {3, kMels, d}, Storage::convolution, Role::weight});
    t.push_back({"encoder.conv1.bias", {1, d}, Storage::vector, Role::bias});
    t.push_back({"encoder.conv2.weight", {3, d, d}, Storage::convolution, Role::weight});
    t.push_back({"encoder.conv2.bias", {1, d}, Storage::vector, Role::bias});
    t.push_back({"encoder.ln_post.weight", {d}, Storage::vector, Role::normWeight});
    t.push_back({"encoder.ln_post.bias", {d}, Storage::vector, Role::bias});

    auto block = [&](const std::string& prefix, int layer, bool decoder, Role outputRole) {
        auto add = [&](const std::string& suffix, std::vector<int> ne, Storage storage, Role role) {
            t.push_back({prefix + suffix, std::move(ne), storage, role, layer, decoder});
        };
        add("_ln.weight", {d}, Storage::vector, Role::normWeight);
        add("_ln.bias", {d}, Storage::vector, Role::bias);
        add(".query.weight", {d, d}, Storage::matrix, Role::weight);
        add(".query.bias", {d}, Storage::vector, Role::bias);
        add(".key.weight", {d, d}, Storage::matrix, Role::weight);
        add(".value.weight", {d, d}, Storage::matrix, Role::weight);
        add(".value.bias", {d}, Storage::vector, Role::bias);
        add(".out.weight", {d, d}, Storage::matrix, outputRole);
        add(".out.bias", {d}, Storage::vector, Role::bias);
    };
    auto mlp = [&](const std::string& prefix, int layer, bool decoder) {
        t.push_back({prefix + "mlp_ln.weight", {d}, Storage::vector, Role::normWeight, layer, decoder});
        t.push_back({prefix + "mlp_ln.bias", {d}, Storage::vector, Role::bias, layer, decoder});
        t.push_back({prefix + "mlp.0.weight",
                     {d, 4 * d},
                     Storage::matrix,
                     decoder ? Role::decoderMlpIn : Role::weight,
                     layer,
                     decoder});
        t.push_back({prefix + "mlp.0.bias", {4 * d}, Storage::vector, Role::bias, layer, decoder});
        t.push_back({prefix + "mlp.2.weight",
                     {4 * d, d},
                     Storage::matrix,
                     decoder ? Role::decoderMlpOut : Role::weight,
                     layer,
                     decoder});
        t.push_back({prefix + "mlp.2.bias", {d}, Storage::vector, Role::bias, layer, decoder});
    };

    for (int i = 0; i < recipe.audioLayers; ++i) {
        const std::string prefix = "encoder.blocks." + std::to_string(i) + ".";
        mlp(prefix, i, false);
        block(prefix + "attn", i, false, Role::weight);
    }

    t.push_back({"decoder.positional_embedding", {d, recipe.textContext}, Storage::vector, Role::positional, 0, true});
    t.push_back({"decoder.token_embedding.weight",
                 {d, kEnglishVocabularySize},
                 Storage::matrix,
                 Role::tokenEmbedding,
                 0,
                 true});
    t.push_back({"decoder.ln.weight", {d}, Storage::vector, Role::normWeight, 0, true});
    t.push_back({"decoder.ln.bias", {d}, Storage::vector, Role::bias, 0, true});
    for (int i = 0; i < recipe.textLayers; ++i) {
        const std::string prefix = "decoder.blocks." + std::to_string(i) + ".";
        mlp(prefix, i, true);
        block(prefix + "attn", i, true, Role::attentionOutput);
        block(prefix + "cross_attn", i, true, Role::attentionOutput);
    }
    return t;
}

// How a scripted model moves from token to token. Each token involved gets a slot k and is embedded
// as scale * (e[2k] - e[2k+1]): orthogonal, zero-mean directions that layer norm leaves
// recognisable. Decoding starts after the start-of-transcript token, or after the no-timestamps
// token when the caller turns timestamps off, so both lead to the phrase's first piece. The last
// piece leads to the end-of-text token, or back to the first piece for a looping phrase.
struct Script {
    std::vector<int> slotTokens;                   // token id of each slot
    std::vector<std::pair<int, int>> transitions;  // (from slot, to slot)
};

Script scriptFor(const GeneratedVocabulary& vocabulary, bool loopsPhrase)
{
    Script script;
    auto slotOf = [&](int token) {
        for (std::size_t k = 0; k < script.slotTokens.size(); ++k) {
            if (script.slotTokens[k] == token) {
                return static_cast<int>(k);
            }
        }
        script.slotTokens.push_back(token);
        return static_cast<int>(script.slotTokens.size() - 1);
    };
    std::vector<int> chain{kTokenStartOfTranscript};
    chain.insert(chain.end(), vocabulary.phraseIds.begin(), vocabulary.phraseIds.end());
    chain.push_back(loopsPhrase ? chain[1] : kTokenEndOfText);
    for (std::size_t i = 0; i + 1 < chain.size(); ++i) {
        script.transitions.emplace_back(slotOf(chain[i]), slotOf(chain[i + 1]));
    }
    script.transitions.emplace_back(slotOf(kTokenNoTimestamps), slotOf(chain[1]));
    return script;
}

class Filler {
public:
    Filler(const ModelRecipe& recipe, const GeneratedVocabulary& vocabulary)
        : recipe_(recipe), noise_(recipe.seed), script_(scriptFor(vocabulary, recipe.loopsPhrase))
    {
        const float d = static_cast<float>(recipe.state);
        // A normalised direction has length sqrt(2d) against a token's unit direction, so this
        // embedding scale puts the chosen token's logit near 40 and every other text or timestamp
        // token at 0 or a little above: greedy decoding then picks it with probability ~1.
        embeddingScale_ = 40.0f / std::sqrt(2.0f * d);
        // The MLP hidden unit of the current token reaches sqrt(2d); this gain makes the successor
        // direction 25 times stronger than the current token's own embedding in the residual stream.
        mlpGain_ = 25.0f * embeddingScale_ / std::sqrt(2.0f * d);
    }

    void fill(const Tensor& tensor, std::vector<float>& data)
    {
        data.assign(static_cast<std::size_t>(tensor.elements()), 0.0f);
        const bool scripted = recipe_.kind == ModelKind::scripted;
        switch (tensor.role) {
        case Role::normWeight:
            std::fill(data.begin(), data.end(), 1.0f);
            return;
        case Role::bias:
            return;
        case Role::positional:
            if (tensor.decoder && scripted) {
                return;  // positions must not disturb the token-to-token mapping
            }
            randomFill(data, 0.1f);
            return;
        case Role::weight:
            randomFill(data, 1.0f / std::sqrt(static_cast<float>(fanIn(tensor))));
            return;
        case Role::attentionOutput:
            if (!scripted) {
                randomFill(data, 1.0f / std::sqrt(static_cast<float>(fanIn(tensor))));
            }
            return;  // scripted: attention is computed but contributes nothing
        case Role::decoderMlpIn:
            if (!scripted) {
                randomFill(data, 1.0f / std::sqrt(static_cast<float>(fanIn(tensor))));
            } else if (tensor.layer == 0) {
                scriptedMlpIn(data);
            }
            return;
        case Role::decoderMlpOut:
            if (!scripted) {
                randomFill(data, 1.0f / std::sqrt(static_cast<float>(fanIn(tensor))));
            } else if (tensor.layer == 0) {
                scriptedMlpOut(data);
            }
            return;
        case Role::tokenEmbedding:
            if (!scripted) {
                randomFill(data, 1.0f);
            } else {
                scriptedEmbedding(data);
            }
            return;
        }
    }

private:
    static int fanIn(const Tensor& tensor)
    {
        // Convolution kernels are [width, in, out]; matrices are [in, out].
        return tensor.storage == Storage::convolution ? tensor.ne[0] * tensor.ne[1] : tensor.ne[0];
    }

    void randomFill(std::vector<float>& data, float amplitude)
    {
        for (auto& value : data) {
            value = noise_.uniform(amplitude);
        }
    }

    // Row `token` of the [state, vocabulary] embedding holds the token's slot direction.
    void scriptedEmbedding(std::vector<float>& data) const
    {
        const std::size_t d = static_cast<std::size_t>(recipe_.state);
        for (std::size_t k = 0; k < script_.slotTokens.size(); ++k) {
            const std::size_t row = static_cast<std::size_t>(script_.slotTokens[k]) * d;
            data[row + 2 * k] = embeddingScale_;
            data[row + 2 * k + 1] = -embeddingScale_;
        }
    }

    // Hidden unit h detects the source token of transition h: its weights are that token's direction.
    void scriptedMlpIn(std::vector<float>& data) const
    {
        const std::size_t d = static_cast<std::size_t>(recipe_.state);
        for (std::size_t h = 0; h < script_.transitions.size(); ++h) {
            const auto from = static_cast<std::size_t>(script_.transitions[h].first);
            data[h * d + 2 * from] = 1.0f;
            data[h * d + 2 * from + 1] = -1.0f;
        }
    }

    // Hidden unit h writes the direction of its transition's target into the residual stream. The
    // matrix is [4 * state, state]: output dimension j reads hidden unit h at h + 4 * state * j.
    void scriptedMlpOut(std::vector<float>& data) const
    {
        const std::size_t hidden = 4 * static_cast<std::size_t>(recipe_.state);
        for (std::size_t h = 0; h < script_.transitions.size(); ++h) {
            const auto to = static_cast<std::size_t>(script_.transitions[h].second);
            data[h + hidden * (2 * to)] = mlpGain_;
            data[h + hidden * (2 * to + 1)] = -mlpGain_;
        }
    }

    const ModelRecipe& recipe_;
    Noise noise_;
    Script script_;
    float embeddingScale_ = 0.0f;
    float mlpGain_ = 0.0f;
};

// Triangular filters on the HTK mel scale over the 201 FFT bins, as Whisper's front end expects.
std::vector<float> melFilterBank()
{
    auto toMel = [](double hz) { return 2595.0 * std::log10(1.0 + hz / 700.0); };
    auto toHz = [](double mel) { return 700.0 * (std::pow(10.0, mel / 2595.0) - 1.0); };
    const double top = toMel(kSampleRate / 2.0);
    std::vector<double> edges(kMels + 2);
    for (int i = 0; i < kMels + 2; ++i) {
        edges[static_cast<std::size_t>(i)] = toHz(top * i / (kMels + 1));
    }
    std::vector<float> bank(static_cast<std::size_t>(kMels) * kFftBins, 0.0f);
    for (int m = 0; m < kMels; ++m) {
        const double low = edges[static_cast<std::size_t>(m)];
        const double centre = edges[static_cast<std::size_t>(m) + 1];
        const double high = edges[static_cast<std::size_t>(m) + 2];
        for (int f = 0; f < kFftBins; ++f) {
            const double hz = f * (kSampleRate / 2.0) / (kFftBins - 1);
            double weight = 0.0;
            if (hz > low && hz <= centre) {
                weight = (hz - low) / (centre - low);
            } else if (hz > centre && hz < high) {
                weight = (high - hz) / (high - centre);
            }
            bank[static_cast<std::size_t>(m) * kFftBins + static_cast<std::size_t>(f)] = static_cast<float>(weight);
        }
    }
    return bank;
}

class ModelFile {
public:
    explicit ModelFile(const std::filesystem::path& path) : path_(path), out_(path, std::ios::binary | std::ios::trunc)
    {
        if (!out_) {
            throw std::runtime_error("cannot create " + path.string());
        }
    }

    void i32(std::int32_t value) { raw(&value, sizeof value); }
    void u32(std::uint32_t value) { raw(&value, sizeof value); }
    void bytes(const std::string& text) { raw(text.data(), text.size()); }
    void raw(const void* data, std::size_t size)
    {
        out_.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out_) {
            throw std::runtime_error("cannot write " + path_.string());
        }
    }

    void close()
    {
        out_.close();
        if (!out_) {
            throw std::runtime_error("cannot finish " + path_.string());
        }
    }

private:
    std::filesystem::path path_;
    std::ofstream out_;
};

void validate(const ModelRecipe& recipe, const GeneratedVocabulary& vocabulary)
{
    if (recipe.state < 2 || recipe.audioHeads < 1 || recipe.textHeads < 1 || recipe.state % recipe.audioHeads != 0 ||
        recipe.state % recipe.textHeads != 0) {
        throw std::invalid_argument("the state width must be at least 2 and divisible by both head counts");
    }
    if (recipe.textContext < 32) {
        throw std::invalid_argument("a text context of " + std::to_string(recipe.textContext) +
                                    " positions leaves no room to decode");
    }
    if (recipe.audioLayers < 1 || recipe.textLayers < 1) {
        throw std::invalid_argument("the encoder and the decoder need at least one layer each");
    }
    if (recipe.textLayers == 2) {
        throw std::invalid_argument("two decoder layers make whisper.cpp treat the model as distilled");
    }
    // Each phrase piece, the start, no-timestamps and end-of-text tokens need a slot of two dimensions.
    if (recipe.kind == ModelKind::scripted &&
        2 * (vocabulary.phraseIds.size() + 3) > static_cast<std::size_t>(recipe.state)) {
        throw std::invalid_argument("the scripted phrase has " + std::to_string(vocabulary.phraseIds.size()) +
                                    " pieces; a state width of " + std::to_string(recipe.state) + " holds at most " +
                                    std::to_string(recipe.state / 2 - 3));
    }
}

}  // namespace

void writeModel(const std::filesystem::path& path, const ModelRecipe& recipe)
{
    const GeneratedVocabulary vocabulary = buildVocabulary(recipe);
    validate(recipe, vocabulary);

    ModelFile file(path);
    file.u32(kFileMagic);
    const std::int32_t hparams[] = {kEnglishVocabularySize,
                                    kAudioContext,
                                    recipe.state,
                                    recipe.audioHeads,
                                    recipe.audioLayers,
                                    recipe.textContext,
                                    recipe.state,
                                    recipe.textHeads,
                                    recipe.textLayers,
                                    kMels,
                                    1};
    for (const auto value : hparams) {
        file.i32(value);
    }

    const std::vector<float> filters = melFilterBank();
    file.i32(kMels);
    file.i32(kFftBins);
    file.raw(filters.data(), filters.size() * sizeof(float));

    file.i32(static_cast<std::int32_t>(vocabulary.tokens.size()));
    for (const auto& token : vocabulary.tokens) {
        file.u32(static_cast<std::uint32_t>(token.size()));
        file.bytes(token);
    }

    if (recipe.kind != ModelKind::vocabularyOnly) {
        Filler filler(recipe, vocabulary);
        std::vector<float> values;
        std::vector<ggml_fp16_t> halves;
        for (const Tensor& tensor : tensorsOf(recipe)) {
            filler.fill(tensor, values);
            const bool half = tensor.storage != Storage::vector;
            file.i32(static_cast<std::int32_t>(tensor.ne.size()));
            file.i32(static_cast<std::int32_t>(tensor.name.size()));
            file.i32(half ? GGML_TYPE_F16 : GGML_TYPE_F32);
            for (const int extent : tensor.ne) {
                file.i32(extent);
            }
            file.bytes(tensor.name);
            if (half) {
                halves.resize(values.size());
                ggml_fp32_to_fp16_row(values.data(), halves.data(), static_cast<std::int64_t>(values.size()));
                file.raw(halves.data(), halves.size() * sizeof(ggml_fp16_t));
            } else {
                file.raw(values.data(), values.size() * sizeof(float));
            }
        }
    }
    file.close();
}

}  // namespace korvane::modelgen
