#ifndef VARNHOLD_CONTAINER_OUTCOME_H_
#define VARNHOLD_CONTAINER_OUTCOME_H_

#include <string>
#include <utility>

namespace container {

/// How an encoding or decoding run ended.
enum class Result {
  kSuccess,            ///< the output was created and completely written
  kInputUnavailable,   ///< the input could not be opened, or is too long to encode
  kOutputUnavailable,  ///< neither output name could be created
  kRecordFailed,       ///< the header or record could not be written or read
  kCopyFailed,         ///< the carried bytes could not be copied, or the output not closed
  kArithmeticFault,    ///< the picture's shape is undefined; see `fault`
};

struct Outcome {
  Result result = Result::kSuccess;
  std::string suffix;  ///< on success: what was appended to the input's name
  std::string fault;   ///< on kArithmeticFault: the kind of failure, in words
};

inline Outcome Succeeded(std::string suffix) { return {Result::kSuccess, std::move(suffix), {}}; }
inline Outcome Failed(Result result) { return {result, {}, {}}; }
inline Outcome Faulted(std::string fault) { return {Result::kArithmeticFault, {}, std::move(fault)}; }

}  // namespace container

#endif  // VARNHOLD_CONTAINER_OUTCOME_H_
