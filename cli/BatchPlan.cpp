#include "BatchPlan.h"

#include "mmio/FilePeek.h"
#include "run/RunEntry.h"
#include "texts/Messages.h"

#include <filesystem>
#include <map>
#include <optional>

namespace {

// What makes two names one file: the device and inode of an existing file, else the absolute path with
// "." and ".." and symbolic links of its folders resolved.
std::string FileIdentity(const std::string& name) {
    if (const std::optional<TFileId> id = FileIdOf(name))
        return "inode:" + std::to_string(id->device) + ":" + std::to_string(id->inode);
    std::error_code error;
    const auto path = std::filesystem::weakly_canonical(std::filesystem::absolute(name, error), error);
    return "path:" + (error ? name : path.string());
}

} // namespace

std::vector<TPlannedConversion> PlanConversions(const std::vector<TRunRequest>& requests) {
    std::vector<TPlannedConversion> plan;
    std::map<std::string, size_t> inputIndex;
    for (const TRunRequest& request : requests) {
        // An input that could not be recognised is refused here, with the reason found.
        TInputPlan planned = PlanInput(request);
        std::string refusal = planned.kind ? std::string() : planned.refusal;
        plan.push_back({request, std::move(planned), std::move(refusal)});
        inputIndex.emplace(FileIdentity(request.input), plan.size() - 1);
    }
    // The output's identity and the input that writes it, of the inputs not refused so far.
    std::map<std::string, size_t> writers;
    for (size_t i = 0; i < plan.size(); ++i) {
        if (!plan[i].refusal.empty())
            continue;
        std::vector<std::string> identities;
        for (const std::string& output : plan[i].plan.outputs) {
            const std::string identity = FileIdentity(output);
            identities.push_back(identity);
            // The run itself refuses an output that is its own input; another input's is the plan's to see.
            const auto input = inputIndex.find(identity);
            const auto writer = writers.find(identity);
            if (input != inputIndex.end() && input->second != i)
                plan[i].refusal = std::string(msg::kOutputIsAnInput) + plan[input->second].request.input;
            else if (writer != writers.end())
                plan[i].refusal = msg::OutputOfEarlierInput(output, plan[writer->second].request.input);
            if (!plan[i].refusal.empty())
                break;
        }
        if (plan[i].refusal.empty())
            for (const std::string& identity : identities)
                writers.emplace(identity, i);
    }
    return plan;
}
