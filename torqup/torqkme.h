// The call a key-management exit module provides. torq4 loads the module ("torqkme.so" beside
// the program unless another is named) and calls the procedure ("torqkme" unless another is
// named) with ten arguments, all by reference:
//   function   -1 after loading, 1 before compressing, 0 for each container read
//   rc         set by the exit; 0 = success
//   parLength, parameter        the exit parameter (kmparam)
//   keyLength, key              compress: capacity in, key data length out (stored as every
//                               member's user header); decompress: the stored user header
//   pwdLength, password         66 in; the password length and bytes out (0: none)
//   msgLength, message          128 in; the length of a message to print out
// With function -1 arguments 3 to 8 are null.
#pragma once
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif
typedef void TorqKmExitProc(int32_t* function, int32_t* rc, int32_t* parLength, char* parameter, int32_t* keyLength,
                            uint8_t* key, int32_t* pwdLength, uint8_t* password, int32_t* msgLength, char* message);
#ifdef __cplusplus
}
#endif
