#include "BatchPlan.h"

#include "mmio/FilePeek.h"
#include "run/NameProposal.h"
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

std::vector<TPlannedConversion> PlanConversions(const std::vector<std::string>& inputs,
                                                const std::string& output, bool flac) {
    std::vector<TPlannedConversion> plan;
    std::map<std::string, size_t> inputIndex;
    std::map<std::string, std::vector<size_t>> writers;
    for (const std::string& input : inputs) {
        const std::string proposed = flac ? WithFlacExtension(input) : ProposeOutputName(input);
        plan.push_back({input, output.empty() ? proposed : output, {}});
        inputIndex.emplace(FileIdentity(input), plan.size() - 1);
    }
    for (size_t i = 0; i < plan.size(); ++i) {
        const std::string identity = FileIdentity(plan[i].output);
        writers[identity].push_back(i);
        // The run itself refuses an output that is its own input; another input's is the plan's to see.
        const auto other = inputIndex.find(identity);
        if (other != inputIndex.end() && other->second != i)
            plan[i].refusal = std::string(msg::kOutputIsAnInput) + plan[other->second].input;
    }
    for (const auto& [identity, indexes] : writers)
        if (indexes.size() > 1)
            for (size_t i : indexes)
                if (plan[i].refusal.empty())
                    plan[i].refusal = msg::kOutputShared;
    return plan;
}
