#include "text/TranscriptionTextCleaner.h"
#include "text/Vocabulary.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace korvane {
namespace {

// A user list of the kind people build up: product and project names, colleagues' names, jargon,
// each with one to three heard forms, some beyond ASCII.
std::vector<VocabularyEntry> userEntries(int count)
{
    const char* const stems[] = {"kube",
                                 "terra",
                                 "grafa",
                                 "postgre",
                                 "redis",
                                 "nginx",
                                 "ansi",
                                 "jenkin",
                                 "kafka",
                                 "elastic",
                                 "mongo",
                                 "docker",
                                 "helm",
                                 "istio",
                                 "zuora",
                                 "jira",
                                 "figma",
                                 "notion",
                                 "slack",
                                 "zoom",
                                 "m\u00FCller",
                                 "\u00E9lise",
                                 "\u0441\u0430\u0448\u0430",
                                 "dvorak",
                                 "nakamura"};
    std::vector<VocabularyEntry> entries;
    for (int i = 0; i < count; ++i) {
        const std::string stem = stems[i % std::size(stems)];
        const std::string n = std::to_string(i);
        entries.push_back(
            VocabularyEntry{"Name" + n + stem, {stem + " thing " + n, stem + n, "the " + stem + " " + n}});
    }
    return entries;
}

Vocabulary dictationVocabulary()
{
    return Vocabulary(userEntries(100)).adding(Vocabulary::starter());
}

std::string transcriptOfWords(int words)
{
    // 40 words with heard forms from both lists, a sound tag and punctuation.
    const std::string sentence =
        "[Music] So I ran kube thing 3 against the cluster forward slash staging and then open paren "
        "checked close paren the redis4 logs, which said fifty percent sign of requests failed question "
        "mark we should ask m\u00FCller thing 20 about it today. ";
    std::string text;
    int count = 0;
    while (count < words) {
        text += sentence;
        count += 40;
    }
    return text;
}

void BM_CleanDictation(benchmark::State& state)
{
    const Vocabulary vocabulary = dictationVocabulary();
    const std::string transcript = transcriptOfWords(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(TranscriptionTextCleaner::clean(transcript, vocabulary));
    }
}
BENCHMARK(BM_CleanDictation)->Arg(40)->Arg(1500)->Unit(benchmark::kMicrosecond);

// The first transcript after a vocabulary change pays for compiling the rules: rotating through
// more vocabularies than the cleaner keeps compiled makes every call such a first one.
void BM_CleanAfterVocabularyChange(benchmark::State& state)
{
    std::vector<Vocabulary> vocabularies;
    for (int i = 0; i < 6; ++i) {
        vocabularies.push_back(dictationVocabulary().adding(
            Vocabulary(std::vector<VocabularyEntry>{{"Extra" + std::to_string(i), {"extra " + std::to_string(i)}}})));
    }
    const std::string transcript = transcriptOfWords(40);
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(TranscriptionTextCleaner::clean(transcript, vocabularies[next]));
        next = (next + 1) % vocabularies.size();
    }
}
BENCHMARK(BM_CleanAfterVocabularyChange)->Unit(benchmark::kMicrosecond);

void BM_ReplacementRules(benchmark::State& state)
{
    const Vocabulary vocabulary(userEntries(200));
    for (auto _ : state) {
        benchmark::DoNotOptimize(vocabulary.replacementRules());
    }
}
BENCHMARK(BM_ReplacementRules)->Unit(benchmark::kMicrosecond);

void BM_PromptTerms(benchmark::State& state)
{
    const Vocabulary vocabulary(userEntries(200));
    for (auto _ : state) {
        benchmark::DoNotOptimize(vocabulary.promptTerms());
    }
}
BENCHMARK(BM_PromptTerms)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace korvane
