#pragma once

#include "disc/IsolatedCall.h"
#include "output/OutputFormat.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

class TRun;
class TRunHost;
class TConversionRun;
struct TRunRequest;
struct TSelection;
struct TInputPlan;

// The raw run's per-group loop is compiled for the host's own type; its maker comes from the host's side.
using TRawRunFactory = std::function<std::unique_ptr<TConversionRun>(const TRunRequest&)>;

// What a kind opened of an input while planning its run, handed on to the run so that nothing is opened
// twice.
class TOpenedInput {
public:
    virtual ~TOpenedInput() = default;
};

enum class TProbe { No, Yes, ReadFailed };

// How oxlip-convert --list describes an input: in lines for a reader, or as the members of one JSON object
// for a script (texts/JsonText.h).
enum class TListingForm { Text, Json };

// One kind of input: how it is recognised, what a host may offer of it, how it is listed, the outputs it
// plans and the run it makes. Each kind's row lives in a file of its own; run/InputKinds.cpp lists them.
struct TInputKindRow {
    const char* id; // "raw", "program-stream", "dvd-video"
    // Whether the input is of this kind, by its content: `start` holds its first bytes (fewer for a short
    // file, none for a folder).
    TProbe (*probe)(const std::string& path, std::span<const uint8_t> start);
    // For a file that is of no kind: the message when its name promises this kind (a .VOB that holds no
    // program stream), else nullptr.
    const char* (*brokenPromise)(const std::string& path);

    // What a host may offer before a run.
    bool offersTitles;     // titles, their audio streams and chapters to choose from
    bool offersTracks;     // a choice among the input's LPCM tracks
    bool takesInputFormat; // the raw path's input-format item and the user's rate apply
    bool namesOwnOutputs;  // the run names its outputs itself (a disc's default names, its chapter files)

    // Why the selection does not fit an input of this kind; nullptr when it does.
    const char* (*selectionRefusal)(const TSelection& selection);
    // What oxlip-convert --list says of the input, read once and written in `form`; false with the reason in
    // `text` when it cannot be read.
    bool (*describe)(const std::string& input, TListingForm form, std::string& text);
    // The output the window proposes for the input, beside it.
    std::string (*proposeOutput)(const std::string& input, const TOutputFormatRow& format);
    // Opens what the run will need, and works out the files it would write (none when the run would
    // refuse what the request asks of the input).
    void (*plan)(const TRunRequest& request, TInputPlan& plan);
    std::unique_ptr<TRun> (*makeRun)(TRunHost& host, const TRunRequest& request, TInputPlan& plan,
                                     const TRawRunFactory& rawRun);
    // For a kind that offers titles: its titles, their audio and chapters, for a host's dialog; false with
    // `error` in oxlip-convert's words when the input cannot be read.
    bool (*readTitles)(const std::string& input, struct TDiscChoices& choices, std::string& error) = nullptr;
    // The kind of a hybrid disc's other side, which a request may ask for instead (TSelection::videoSide);
    // nullptr for none.
    const TInputKindRow* otherSide = nullptr;
};

// A request's input as recognised and planned, once per conversion.
struct TInputPlan {
    const TInputKindRow* kind = nullptr; // nullptr: refused as it was recognised, `refusal` says why
    std::string refusal;
    std::vector<std::string> outputs;
    std::shared_ptr<TOpenedInput> opened;
};

// Every kind, in the order they are tried; the raw path last, as it takes any file.
const std::vector<const TInputKindRow*>& InputKinds();

// One time budget for the disc children that looking at an input and then listing or planning it start
// (see TIsolationBudget): a host opens one around the two.
using TInputBudget = TIsolationBudget;

// What an input is, decided by its content; one rule for every host. nullptr for an input that could not
// be looked at, or one named as a disc or stream (.iso, .ifo, .vob, .mpg) that holds none, which is never
// taken for raw audio: `refusal` (when given) says why.
const TInputKindRow* ClassifyInput(const std::string& path, std::string* refusal = nullptr);
