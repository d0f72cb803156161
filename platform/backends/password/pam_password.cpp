#include <pwd.h>
#include <security/pam_appl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "orvo/password_components.h"

namespace orvo::platform {
namespace {

struct CheckConversation {
  const char* user;
  const char* password;
  std::string* message;
};

// Answers PAM's questions: the password for hidden prompts, the user name
// for visible ones; messages are kept to be shown.
int Converse(int count, const pam_message** messages, pam_response** responses, void* data) {
  auto* c = static_cast<CheckConversation*>(data);
  if (count <= 0 || count > PAM_MAX_NUM_MSG) return PAM_CONV_ERR;
  auto* replies = static_cast<pam_response*>(std::calloc(static_cast<std::size_t>(count), sizeof(pam_response)));
  if (replies == nullptr) return PAM_BUF_ERR;
  for (int i = 0; i < count; ++i) {
    switch (messages[i]->msg_style) {
      case PAM_PROMPT_ECHO_OFF:
        replies[i].resp = strdup(c->password);
        break;
      case PAM_PROMPT_ECHO_ON:
        replies[i].resp = strdup(c->user);
        break;
      case PAM_ERROR_MSG:
      case PAM_TEXT_INFO:
        if (c->message != nullptr && messages[i]->msg != nullptr) {
          if (!c->message->empty()) *c->message += ' ';
          *c->message += messages[i]->msg;
        }
        break;
      default:
        break;
    }
  }
  *responses = replies;
  return PAM_SUCCESS;
}

}  // namespace

std::string CurrentUserName() {
  const passwd* entry = getpwuid(getuid());
  if (entry != nullptr && entry->pw_name != nullptr) return entry->pw_name;
  const char* user = std::getenv("USER");
  return user != nullptr ? user : "";
}

CheckResult PamCheckPassword(const char* service, const std::string& user, const char* password,
                             std::string* message) {
  if (user.empty()) {
    if (message != nullptr) *message = "Cannot tell who is logged in";
    return CheckResult::kUnavailable;
  }
  CheckConversation data{user.c_str(), password, message};
  pam_conv conversation{Converse, &data};
  pam_handle_t* handle = nullptr;
  int status = pam_start(service, user.c_str(), &conversation, &handle);
  if (status != PAM_SUCCESS) return CheckResult::kUnavailable;
  status = pam_authenticate(handle, 0);
  if (status == PAM_SUCCESS) status = pam_acct_mgmt(handle, 0);
  CheckResult result = CheckResult::kWrong;
  if (status == PAM_SUCCESS) {
    result = CheckResult::kRight;
  } else if (status == PAM_AUTHINFO_UNAVAIL || status == PAM_ABORT || status == PAM_SYSTEM_ERR ||
             status == PAM_BUF_ERR || status == PAM_CONV_ERR) {
    result = CheckResult::kUnavailable;
  }
  pam_end(handle, status);
  return result;
}

void InstallPasswordComponents(const char* service) {
  const std::string pam_service = service != nullptr ? service : kPamService;
  RegisterPasswordComponents(
      [pam_service](const char* password, std::string* message) {
        return PamCheckPassword(pam_service.c_str(), CurrentUserName(), password, message);
      },
      [pam_service](HWND) { PamChangePassword(pam_service.c_str(), CurrentUserName()); });
}

}  // namespace orvo::platform
