#include "win/user_sid.h"

#include <windows.h>

#include <sddl.h>

#include <vector>

#include "win/unique_resource.h"

namespace tidvale::win {

std::wstring currentUserSid() {
  HANDLE tokenHandle = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &tokenHandle)) return L"";
  const UniqueHandle token(tokenHandle);
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size < sizeof(TOKEN_USER)) return L"";
  std::vector<unsigned char> buffer(size);
  if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return L"";
  const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(user->User.Sid, &text)) return L"";
  const UniqueLocalString owned(text);
  return owned.get();
}

}  // namespace tidvale::win
