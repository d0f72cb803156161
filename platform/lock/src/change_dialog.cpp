// A password change through PAM: every question and message of the PAM
// conversation is put to the user in a small FLTK dialog.
#include <FL/Fl.H>
#include <FL/fl_ask.H>
#include <security/pam_appl.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "orvo/password_components.h"
#include "pam_replies.h"

namespace orvo::platform {
namespace {

int AskUser(int count, const pam_message** messages, pam_response** responses, void*) {
  if (count <= 0 || count > PAM_MAX_NUM_MSG) return PAM_CONV_ERR;
  auto* replies = static_cast<pam_response*>(std::calloc(static_cast<std::size_t>(count), sizeof(pam_response)));
  if (replies == nullptr) return PAM_BUF_ERR;
  for (int i = 0; i < count; ++i) {
    const char* text = messages[i]->msg != nullptr ? messages[i]->msg : "";
    const char* answer = nullptr;
    switch (messages[i]->msg_style) {
      case PAM_PROMPT_ECHO_OFF:
        answer = fl_password("%s", nullptr, text);
        break;
      case PAM_PROMPT_ECHO_ON:
        answer = fl_input("%s", nullptr, text);
        break;
      case PAM_ERROR_MSG:
        fl_alert("%s", text);
        continue;
      case PAM_TEXT_INFO:
        fl_message("%s", text);
        continue;
      default:
        continue;
    }
    if (answer == nullptr) {  // cancelled
      DropReplies(replies, i);
      return PAM_CONV_ERR;
    }
    replies[i].resp = strdup(answer);
    // The dialog's own copy of what was typed goes too.
    WipeSecret(const_cast<char*>(answer), std::strlen(answer));
  }
  *responses = replies;
  return PAM_SUCCESS;
}

}  // namespace

void PamChangePassword(const char* service, const std::string& user) {
  fl_message_title("Change Password");
  if (user.empty()) {
    fl_alert("Cannot tell who is logged in.");
    return;
  }
  pam_conv conversation{AskUser, nullptr};
  pam_handle_t* handle = nullptr;
  int status = pam_start(service, user.c_str(), &conversation, &handle);
  if (status != PAM_SUCCESS) {
    fl_alert("The password cannot be changed here (PAM service \"%s\").", service);
    return;
  }
  status = pam_chauthtok(handle, 0);
  if (status == PAM_SUCCESS) {
    fl_message("The password of %s has been changed.", user.c_str());
  } else if (status != PAM_CONV_ERR) {
    fl_alert("The password was not changed: %s", pam_strerror(handle, status));
  }
  pam_end(handle, status);
}

}  // namespace orvo::platform
