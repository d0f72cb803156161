// A PAM module for tests only, driven by its arguments in the service file:
//   password=TEXT   the password the hidden question must be answered with
//   ask=TEXT        then asks TEXT (shown) ...
//   answer=TEXT     ... which must be answered with TEXT
//   info=TEXT       says TEXT before asking
//   account=expired the account check answers "new password required"
//   account=refused the account check refuses, with a message
// Underscores in TEXT stand for blanks.
#include <security/pam_appl.h>
#include <security/pam_modules.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string Argument(int argc, const char** argv, const char* name) {
  const std::size_t n = std::strlen(name);
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], name, n) == 0 && argv[i][n] == '=') {
      std::string value = argv[i] + n + 1;
      for (char& c : value)
        if (c == '_') c = ' ';
      return value;
    }
  }
  return "";
}

int Converse(pam_handle_t* handle, int style, const std::string& text, std::string* answer) {
  const pam_conv* conv = nullptr;
  if (pam_get_item(handle, PAM_CONV, reinterpret_cast<const void**>(&conv)) != PAM_SUCCESS || conv == nullptr)
    return PAM_CONV_ERR;
  pam_message message{style, text.c_str()};
  const pam_message* messages[1] = {&message};
  pam_response* response = nullptr;
  const int status = conv->conv(1, messages, &response, conv->appdata_ptr);
  if (status != PAM_SUCCESS) return status;
  if (response != nullptr) {
    if (answer != nullptr && response->resp != nullptr) *answer = response->resp;
    if (response->resp != nullptr) std::free(response->resp);
    std::free(response);
  }
  return PAM_SUCCESS;
}

}  // namespace

extern "C" {

int pam_sm_authenticate(pam_handle_t* handle, int, int argc, const char** argv) {
  const std::string info = Argument(argc, argv, "info");
  if (!info.empty() && Converse(handle, PAM_TEXT_INFO, info, nullptr) != PAM_SUCCESS) return PAM_CONV_ERR;
  std::string typed;
  if (Converse(handle, PAM_PROMPT_ECHO_OFF, "Password: ", &typed) != PAM_SUCCESS) return PAM_CONV_ERR;
  if (typed != Argument(argc, argv, "password")) return PAM_AUTH_ERR;
  const std::string question = Argument(argc, argv, "ask");
  if (!question.empty()) {
    std::string answer;
    if (Converse(handle, PAM_PROMPT_ECHO_ON, question, &answer) != PAM_SUCCESS) return PAM_CONV_ERR;
    if (answer != Argument(argc, argv, "answer")) return PAM_AUTH_ERR;
  }
  return PAM_SUCCESS;
}

int pam_sm_setcred(pam_handle_t*, int, int, const char**) { return PAM_SUCCESS; }

int pam_sm_acct_mgmt(pam_handle_t* handle, int, int argc, const char** argv) {
  const std::string account = Argument(argc, argv, "account");
  if (account == "expired") return PAM_NEW_AUTHTOK_REQD;
  if (account == "refused") {
    Converse(handle, PAM_ERROR_MSG, "Your account has been disabled", nullptr);
    return PAM_ACCT_EXPIRED;
  }
  return PAM_SUCCESS;
}

}  // extern "C"
