#include "tool_split.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "operation_run.h"
#include "tolerance.h"

namespace brevanto::cli {

std::string toolProgramPath(const std::string& programPath, int32_t tool) {
  const std::filesystem::path path(programPath);
  std::filesystem::path named = path;
  named.replace_filename(path.stem().string() + "-T" + std::to_string(tool) +
                         path.extension().string());
  return named.string();
}

std::vector<int32_t> toolsInOrder(const std::vector<ChosenOperation>& operations,
                                  const std::vector<int32_t>& writtenOperations,
                                  const JobSettings& base) {
  if (operations.empty()) return {base.toolNumber};
  std::vector<int32_t> tools;
  for (const int32_t w : writtenOperations) {
    const int32_t tool = operations[static_cast<size_t>(w)].settings.toolNumber;
    if (std::find(tools.begin(), tools.end(), tool) == tools.end()) tools.push_back(tool);
  }
  return tools;
}

std::optional<int32_t> toolTakenAgain(const std::vector<ChosenOperation>& operations,
                                      const std::vector<int32_t>& writtenOperations) {
  std::vector<int32_t> done;  // the tools put down, in order
  for (const int32_t w : writtenOperations) {
    const int32_t tool = operations[static_cast<size_t>(w)].settings.toolNumber;
    if (!done.empty() && done.back() == tool) continue;
    if (std::find(done.begin(), done.end(), tool) != done.end()) return tool;
    done.push_back(tool);
  }
  return std::nullopt;
}

std::vector<JobOperation> operationsOfTool(const std::vector<ChosenOperation>& operations,
                                           int32_t tool) {
  std::vector<ChosenOperation> own;
  for (const ChosenOperation& op : operations) {
    if (op.settings.toolNumber == tool) own.push_back(op);
  }
  return jobOperations(own);
}

std::optional<std::vector<std::string>> writeToolPrograms(const SplitJob& job,
                                                          const std::vector<int32_t>& tools,
                                                          std::string& error) {
  std::vector<std::unique_ptr<StagedFile>> files;
  std::vector<std::string> paths;
  for (const int32_t tool : tools) {
    const std::string path = toolProgramPath(job.programPath, tool);
    auto file = std::make_unique<StagedFile>();
    if (!file->open(path, error)) {
      error = "cannot write the program " + path + ": " + error;
      return std::nullopt;
    }
    const MadeProgram made = makeProgram(*job.segments, *job.settings, job.tolerance,
                                         {.file = file.get(),
                                          .keepMoves = false,
                                          .shapesInOrder = false,
                                          .operations = operationsOfTool(*job.operations, tool)});
    if (!made.report.ok()) {
      error = "the program of tool T" + std::to_string(tool) + " (" + path +
              "): " + (file->error().empty() ? made.report.error : file->error());
      return std::nullopt;
    }
    files.push_back(std::move(file));
    paths.push_back(path);
  }
  // Put in place only once all are made: a failure leaves every earlier
  // program of the part as it was, unless the disk refuses part way here.
  for (size_t i = 0; i < files.size(); ++i) {
    if (!files[i]->commit(error)) {
      error = "cannot write the program " + paths[i] + ": " + error;
      return std::nullopt;
    }
  }
  return paths;
}

std::string joined(const std::vector<std::string>& texts) {
  std::string text;
  for (const std::string& t : texts) text += (text.empty() ? "" : ", ") + t;
  return text;
}

}  // namespace brevanto::cli
