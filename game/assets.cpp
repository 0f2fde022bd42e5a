// Staged asset loading (one asset per update behind the loading screen, at
// the resolution that suits the window) and the game's sound routines.
#include "game/myapp.h"

#include "framework/hx_app.h"
#include "framework/hx_audio.h"
#include "framework/hx_graphics.h"

namespace {

// Loads an image and cuts frameCount frames of frameWidth x frameHeight.
// A missing file, or one too small to hold the frames, gives null (the
// latter with a log line) instead of stopping the program.
c_Image* LoadImageChecked(String path, int frameWidth, int frameHeight, int frameCount, int flags) {
  if (!hx_graphics_device || frameWidth <= 0 || frameHeight <= 0 || frameCount <= 0) return nullptr;
  gxtkSurface* surface = hx_graphics_device->LoadSurface(hx_data_FixDataPath(path));
  if (!surface) return nullptr;
  int sw = surface->Width(), sh = surface->Height();
  long long perRow = frameWidth <= sw ? sw / frameWidth : 0;
  long long rows = frameHeight <= sh ? sh / frameHeight : 0;
  if (perRow * rows < frameCount) {
    hxPrint(String("Image ") + path + " holds fewer than " + String(frameCount) + " frames of " +
            String(frameWidth) + "x" + String(frameHeight));
    surface->Discard();
    return nullptr;
  }
  return (new c_Image())->p_Init2(surface, 0, 0, frameWidth, frameHeight, frameCount, flags, nullptr, 0, 0, sw, sh);
}

}  // namespace

// The art follows how much the 640 x 480 design is magnified: the window's
// size in design-height terms (the height, or three quarters of the width
// when that is larger, as the fit to the window scales it) picks the set.
// 640 x 480 gets the base art, 1280 x 720 "-hd", 1920 x 1080 and 630 x 1240 "-hd2".
int c_MyApp::p_ChooseResolution() {
  float w = static_cast<float>(hx_app__devWidth), h = static_cast<float>(hx_app__devHeight);
  float e = h > w * 0.75f ? h : w * 0.75f;
  if (e >= 1231) {
    m_gfxDivisor = 4;
    m_imgScale = 0.25f;
  } else if (e >= 631) {
    m_gfxDivisor = 2;
    m_imgScale = 0.5f;
  } else {
    m_gfxDivisor = 1;
    m_imgScale = 1.0f;
  }
  return 0;
}

String c_MyApp::p_GfxSuffix() {
  if (m_gfxDivisor == 4) return String("-hd2");
  if (m_gfxDivisor == 2) return String("-hd");
  return String();
}

String c_MyApp::p_ImagePath(String name) { return name + p_GfxSuffix() + ".png"; }

String c_MyApp::p_SfxPath(int n) {
  if (n >= 0 && n < 10) return String("sfx/00") + String(n) + ".wav";
  if (n >= 10 && n < 100) return String("sfx/0") + String(n) + ".wav";
  return String("sfx/") + String(n) + ".wav";
}

int c_MyApp::p_LoadImg(int slot, String name, int w, int h, int frames, int flags) {
  if (slot < 0 || slot >= m_images.Length()) return 0;
  String path = p_ImagePath(name);
  m_images[slot] = nullptr;
  gc_assign(m_images[slot], LoadImageChecked(path, w * m_gfxDivisor, h * m_gfxDivisor, frames, flags));
  m_imgInfo[3 * slot] = w * m_gfxDivisor;
  m_imgInfo[3 * slot + 1] = h * m_gfxDivisor;
  m_imgInfo[3 * slot + 2] = frames;
  return 0;
}

int c_MyApp::p_LoadFont(int slot, String name, int w, int h) {
  if (slot < 0 || slot >= m_images.Length()) return 0;
  String path = p_ImagePath(name);
  m_images[slot] = nullptr;
  gc_assign(m_images[slot], LoadImageChecked(path, 16 * m_gfxDivisor, 16 * m_gfxDivisor, 128, 1));
  m_imgInfo[3 * slot] = w;
  m_imgInfo[3 * slot + 1] = h;
  m_imgInfo[3 * slot + 2] = 128;
  m_fontSlot = slot;
  return 0;
}

int c_MyApp::p_LoadSFX(int n) {
  // Only numbers with a slot are loaded.
  if (n < 0 || n >= m_sounds.Length()) return 0;
  c_Sound* sound = hx_audio_device ? hx_audio_LoadSound(p_SfxPath(n)) : nullptr;
  gc_assign(m_sounds[n], sound);
  return 0;
}

int c_MyApp::p_Reload() {
  m_clsR = 0;
  m_clsG = 0;
  m_clsB = 0;
  m_clsA = 1;
  p_ChooseResolution();
  p_LoadImg(93, String("common/VELDLogo"), 256, 256, 1, 1);
  p_LoadFont(90, String("fonts/editundo"), 7, 10);
  m_loadStep = 1;
  return 0;
}

int c_MyApp::p_Loader() {
  p_ChooseResolution();
  bool performed = true;
  switch (m_loadStep) {
    case 1:
      p_LoadImg(97, String("common/icons"), 32, 32, 16, 1);
      p_LoadSFX(96);
      break;
    case 2:
      p_LoadImg(95, String("common/Buttons"), 64, 64, 16, 1);
      break;
    case 3:
      p_LoadImg(94, String("common/dpad"), 32, 32, 16, 1);
      break;
    case 4:
      p_LoadImg(93, String("common/VELDLogo"), 256, 256, 1, 1);
      if (m_jinglePlayed == 0) {
        p_PlaySFX(96, 1, 1, 0);
        m_jinglePlayed = 1;
      }
      break;
    case 5:
      p_LoadImg(91, String("common/Testcard_Circle"), 256, 256, 1, 1);
      break;
    case 6:
      p_LoadFont(90, String("fonts/editundo"), 7, 10);
      break;
    case 7:
      p_LoadSFX(1);
      break;
    case 8:
      p_LoadSFX(95);
      break;
    case 9:
      p_LoadSFX(98);
      break;
    case 10:
      p_LoadSFX(99);
      break;
    case 11:
      p_LoadImg(99, String("menu"), 256, 256, 4, 1);
      break;
    case 12:
      p_LoadImg(98, String("logo"), 256, 128, 1, 1);
      break;
    case 13:
      p_LoadImg(96, String("parts"), 8, 8, 256, 1);
      break;
    case 14:
      p_LoadImg(80, String("BadgesA"), 64, 64, 64, 1);
      break;
    case 15:
      p_LoadImg(1, String("gfx"), 32, 32, 64, 1);
      break;
    case 16:
      p_LoadImg(5, String("bricks"), 128, 32, 16, 1);
      break;
    case 17:
      p_LoadImg(2, String("gfx2"), 32, 32, 64, 1);
      break;
    case 18:
      p_LoadImg(4, String("heart"), 32, 32, 1, 1);
      break;
    case 19:
    case 20:
    case 21:
    case 22:
    case 23:
      p_LoadSFX(m_loadStep - 17);
      break;
    case 24:
      p_LoadSFX(7);
      // The game's tune is decoded here, behind the loading screen, so that
      // starting a game only has to play it.
      if (hx_Zelk_HasMusicStream == 1) p_LoadTune(String("floating"));
      break;
    default:
      m_loadStep = 0;
      performed = false;
      break;
  }
  if (performed && m_loadStep > 0) m_loadStep += 1;
  p_WaitStart(1);
  return 0;
}

// ---------------------------------------------------------------- audio

int c_MyApp::p_PlaySFX(int n, float rate, float volume, float pan) {
  if (m_options[5] != 1 && m_options[5] != 2) return 0;
  m_sfxChannel = (m_sfxChannel + 1) % 24;
  if (m_sfxChannel < 0 || m_sfxChannel > 31) m_sfxChannel = 0;
  int ch = m_sfxMap[m_sfxChannel];
  gxtkAudio* dev = hx_audio_device;
  if (!dev) return 0;
  dev->StopChannel(ch);
  if (n >= 0 && n < m_sounds.Length()) {
    c_Sound* sound = m_sounds[n];
    if (sound && sound->m_sample) dev->PlaySample(sound->m_sample, ch, 0);
  }
  dev->SetRate(ch, rate);
  dev->SetVolume(ch, volume);
  dev->SetPan(ch, pan);
  return 0;
}

String c_MyApp::p_TunePath(String name) { return String("sfx/") + name + ".ogg"; }

int c_MyApp::p_LoadTune(String name) {
  // Whatever the sound mode: music switched on later starts without a wait.
  if (hx_audio_device) hx_audio_LoadMusic(p_TunePath(name));
  return 0;
}

int c_MyApp::p_PlayTune(String name, int flags) {
  String path = p_TunePath(name);
  if (m_musicOn) {
    if (hx_audio_device) hx_audio_device->StopMusic();
    m_musicOn = 0;
  }
  if (m_options[5] != 1 && m_options[5] != 3) return 0;
  if (hx_audio_device) hx_audio_PlayMusic(path, flags);
  m_musicOn = 1;
  return 0;
}

int c_MyApp::p_StopTune() {
  if (hx_audio_device) hx_audio_device->StopMusic();
  m_musicOn = 0;
  return 0;
}
