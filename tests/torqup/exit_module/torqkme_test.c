/* A key-management exit for the tests. Its parameter holds words that steer it:
 *   key=TEXT   key data handed back on compression
 *   pwd=TEXT   password handed back (compression and decompression)
 *   msg=N      a message of N letters 'M' after every call
 *   rc=N       the return code of calls 0 and 1
 *   keylen=N, pwdlen=N, msglen=N   lengths handed back as they are (bad ones included)
 * Every call is appended to the file named by TORQKME_LOG: the function code and, for
 * function 0, the key data received. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "torqup/torqkme.h"

static const char* Word(const char* parameter, const char* name, char* value, size_t size) {
  const char* at = parameter != NULL ? strstr(parameter, name) : NULL;
  if (at == NULL) return NULL;
  at += strlen(name);
  size_t n = strcspn(at, ";,");
  if (n >= size) n = size - 1;
  memcpy(value, at, n);
  value[n] = '\0';
  return value;
}

static void Log(int32_t function, const uint8_t* key, int32_t keyLength) {
  const char* name = getenv("TORQKME_LOG");
  if (name == NULL) return;
  FILE* log = fopen(name, "a");
  if (log == NULL) return;
  fprintf(log, "%d", function);
  if (function == 0 && key != NULL && keyLength > 0) fprintf(log, " %.*s", (int)keyLength, (const char*)key);
  fputc('\n', log);
  fclose(log);
}

void torqkme(int32_t* function, int32_t* rc, int32_t* parLength, char* parameter, int32_t* keyLength, uint8_t* key,
             int32_t* pwdLength, uint8_t* password, int32_t* msgLength, char* message) {
  char text[300] = "";
  if (parLength != NULL && parameter != NULL && *parLength > 0) {
    size_t n = (size_t)*parLength < sizeof text - 1 ? (size_t)*parLength : sizeof text - 1;
    memcpy(text, parameter, n);
    text[n] = '\0';
  } else if (getenv("TORQKME_START") != NULL) {
    snprintf(text, sizeof text, "%s", getenv("TORQKME_START"));
  }
  char value[300];
  Log(*function, key, keyLength != NULL ? *keyLength : 0);
  *rc = 0;
  if (*function != -1 && Word(text, "rc=", value, sizeof value)) *rc = atoi(value);
  if (*function == 1 && Word(text, "key=", value, sizeof value)) {
    size_t n = strlen(value);
    if ((int32_t)n > *keyLength) n = (size_t)*keyLength;
    memcpy(key, value, n);
    *keyLength = (int32_t)n;
  } else if (*function == 1) {
    *keyLength = 0;
  }
  if (*function != -1) {
    if (Word(text, "pwd=", value, sizeof value)) {
      size_t n = strlen(value);
      if ((int32_t)n > *pwdLength) n = (size_t)*pwdLength;
      memcpy(password, value, n);
      *pwdLength = (int32_t)n;
    } else {
      *pwdLength = 0;
    }
    if (Word(text, "keylen=", value, sizeof value)) *keyLength = atoi(value);
    if (Word(text, "pwdlen=", value, sizeof value)) *pwdLength = atoi(value);
  }
  *msgLength = 0;
  if (Word(text, "msg=", value, sizeof value)) {
    int n = atoi(value);
    if (n > 128) n = 128;
    if (n > 0) memset(message, 'M', (size_t)n);
    *msgLength = n;
  }
  if (Word(text, "msglen=", value, sizeof value)) *msgLength = atoi(value);
}
