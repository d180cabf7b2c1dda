// Passwords and keys in parameter texts. Whatever shows a parameter text (messages, the
// parameter listing) shows it through these, so no character of a secret value ever appears.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// How far a secret value reaches: in a parameter string or a parameter-file block to the next
// "," outside quotes and brackets (further than the parser may take it, never shorter); in a
// line of a password file to the end of the line.
enum class SecretReach { kItem, kLine };

// For each byte of `text`, whether it belongs to the value of an item whose keyword carries a
// password or key (every form and abbreviation the keyword tables give for codes 141, 142,
// 143 and 147). An item is looked for at the start of the text and after every ",", so an
// item hidden in a malformed value of another keyword is masked all the same.
std::vector<bool> SecretBytes(std::string_view text, SecretReach reach = SecretReach::kItem);

// The bytes [from, to) of `text` with each secret value that `secret` (from SecretBytes) marks,
// or the part of one in that range, shown as a single "*".
std::string MaskSecrets(std::string_view text, const std::vector<bool>& secret, std::size_t from = 0,
                        std::size_t to = std::string_view::npos);
// The whole text so.
std::string MaskSecrets(std::string_view text, SecretReach reach = SecretReach::kItem);
