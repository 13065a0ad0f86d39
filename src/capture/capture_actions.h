#pragma once
namespace kx9 {
class ActionHost;
// Puts the capture item "通信キャプチャの開始..." (objectName MnCapture) into
// the main window's "ファイル(&F)" menu (MnFile), above the separator before
// "終了(&X)", and connects it: the first pick asks for a file (save dialog
// SaveCaptureDialog) and starts recording the link into it, the next pick
// ("通信キャプチャの停止", checked while recording) ends the recording. Called
// once by the main window after its menus exist; a second call does nothing.
void AttachCaptureActions(ActionHost &host);
} // namespace kx9
