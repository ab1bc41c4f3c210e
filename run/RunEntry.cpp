#include "run/RunEntry.h"

#include "disc/IsolatedCall.h"
#include "texts/Messages.h"

namespace {

// A request whose input or options the run refuses: it only says so.
class TRefusedRun final : public TRun {
public:
    TRefusedRun(TRunHost& host, std::string message) : control_(host), message_(std::move(message)) {}
    TRunResult Execute() override { return control_.Refuse(message_); }
    TRunControl& Control() override { return control_; }

private:
    class TControl final : public TRunControl {
    public:
        explicit TControl(TRunHost& host) : TRunControl(host) {}
        TRunResult Refuse(const std::string& message) {
            outcome_.Begin();
            TRunControl::Refuse(message);
            return outcome_.Result();
        }
    };
    TControl control_;
    std::string message_;
};

// A run that first tells the host something about the request (that the stream's own rate is taken).
class TNotedRun final : public TRun {
public:
    TNotedRun(TRunHost& host, std::unique_ptr<TRun> run, std::string note)
        : host_(host), run_(std::move(run)), note_(std::move(note)) {}
    TRunResult Execute() override {
        host_.ShowNote(note_);
        return run_->Execute();
    }
    TRunControl& Control() override { return run_->Control(); }
    int64_t GaugeBytesPerStep() const override { return run_->GaugeBytesPerStep(); }

private:
    TRunHost& host_;
    std::unique_ptr<TRun> run_;
    std::string note_;
};

} // namespace

TInputPlan PlanInput(const TRunRequest& request) {
    // Looking at the input and opening it share one budget for the disc's children.
    const TIsolationBudget budget;
    TInputPlan plan;
    plan.kind = ClassifyInput(request.input, &plan.refusal);
    if (plan.kind && plan.kind->otherSide && request.selection.videoSide)
        plan.kind = plan.kind->otherSide;
    if (plan.kind && !plan.kind->selectionRefusal(request.selection))
        plan.kind->plan(request, plan);
    return plan;
}

std::string ProposeOutputFor(const std::string& input, const TInputKindRow& kind,
                             const TOutputFormatRow& format) {
    const TIsolationBudget budget;
    return kind.proposeOutput(input, format);
}

std::unique_ptr<TRun> run_detail::MakeRun(TRunHost& host, const TRunRequest& request, TInputPlan plan,
                                          const TRawRunFactory& rawRun) {
    const TInputKindRow* kind = plan.kind;
    if (!kind)
        return std::make_unique<TRefusedRun>(host, plan.refusal);
    if (const char* refusal = kind->selectionRefusal(request.selection))
        return std::make_unique<TRefusedRun>(host, refusal);
    // A file input's run writes the one output its plan found.
    TRunRequest planned = request;
    if (!kind->namesOwnOutputs && planned.output.empty() && !plan.outputs.empty())
        planned.output = plan.outputs.front();
    std::unique_ptr<TRun> run = kind->makeRun(host, planned, plan, rawRun);
    if (request.rateGiven && !kind->takesInputFormat)
        return std::make_unique<TNotedRun>(host, std::move(run), msg::kRateFromStream);
    return run;
}
