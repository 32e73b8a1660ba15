#pragma once

#include <string>
#include <utility>

namespace korvane {

// Where the dictation controller stands. `modelReady` and `idle` mean no dictation runs; the other
// three are "busy".
class DictationState {
public:
    enum class Kind { modelReady, idle, recording, transcribing, pasting };

    static DictationState modelReady(std::string modelName) { return {Kind::modelReady, std::move(modelName)}; }
    static DictationState idle() { return {Kind::idle, {}}; }
    static DictationState recording() { return {Kind::recording, {}}; }
    static DictationState transcribing() { return {Kind::transcribing, {}}; }
    static DictationState pasting() { return {Kind::pasting, {}}; }

    Kind kind() const { return kind_; }

    // The loaded model's name; empty unless kind() is modelReady.
    const std::string& modelName() const { return modelName_; }

    bool isBusy() const { return kind_ == Kind::recording || kind_ == Kind::transcribing || kind_ == Kind::pasting; }

    friend bool operator==(const DictationState&, const DictationState&) = default;

private:
    DictationState(Kind kind, std::string modelName) : kind_(kind), modelName_(std::move(modelName)) {}

    Kind kind_;
    std::string modelName_;
};

// The form used in log lines: the case name, and for modelReady the model name quoted in
// parentheses: `modelReady("small")`, `idle`, `transcribing`.
std::string toString(const DictationState& state);

}  // namespace korvane
