// SPDX-License-Identifier: MIT
#ifndef VARNHOLD_CONTAINER_RESULT_H_
#define VARNHOLD_CONTAINER_RESULT_H_

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

}  // namespace container

#endif  // VARNHOLD_CONTAINER_RESULT_H_
