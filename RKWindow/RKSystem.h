#pragma once
// The 3D system behind a 3D window: its render device, its camera and its world tree
// ("RKWorld" with the camera node "RKView", the head light "RKRootLight", the ground grid
// "Ground", the rotation ring "CircleLine" and the avatar with its body; the window adds its
// ghosts and motion paths).
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "RKWindow/RKBackground.h"
#include "RKWindow/RKFraming.h"
#include "RKWindow/RKLight.h"
#include "RKWindow/RKNode.h"
#include "RKWindow/RKViewport.h"
#include "ZU2/rkDevice.h"
#include "motion/Chtr.h"
#include "motion/GroundPlace.h"
#include "scene/BodyReader.h"

struct rkTexture;

namespace tavrel {

// The world's nodes that show other frames than the avatar's (ghosts, motion paths): a pick
// leaves them out.
inline constexpr const char* kGhostsNode = "Ghosts";
inline constexpr const char* kMotionPathsNode = "MotionPaths";

// The 3D window's background, shared by everything that shows what the editor shows.
inline constexpr uint8_t kViewBackground[3] = {92, 100, 116};

// Where the camera stands beside the node it follows, and where it looks: what a second
// window needs to show the avatar as this one does, whatever its size.
struct RKCameraPose {
    rkVector offset{0, 0, 0};
    rkVector direction{0, 1, 0};
    rkVector up{0, 0, 1};
};

class CRKSystem {
public:
    CRKSystem();
    ~CRKSystem();
    CRKSystem(const CRKSystem&) = delete;
    CRKSystem& operator=(const CRKSystem&) = delete;

    // Creates the device for the window at the given size and the bare world. False when the
    // device cannot be had (the world is built all the same).
    bool Initialise(rkHost* window, int width, int height);
    // Adds the ground, the ring and the avatar, whose body, initial pose and textures come
    // from the program's data folder. Missing files leave those parts out. 0, or the message
    // (a string identifier) the window shows when the avatar could not be loaded.
    int SetUpWorld(const std::string& dataFolder);

    // Draws one frame into the back surface and presents it to target (none: keep it there
    // for reading back). 1 on success, also after a successful rebuild of the device; 0 when
    // the device cannot be brought back.
    int DrawScene(rkHost* target, bool retry = true);

    void SetBackgroundColor(uint8_t r, uint8_t g, uint8_t b, bool apply);
    // The picture behind the scene: a still picture by file name ("" removes it), or a video
    // frame as packed RGB. A picture that cannot be had leaves the previous one (false).
    bool SetBackgroundImage(const std::string& name);
    bool SetBackgroundBitmap(const uint8_t* rgb, int width, int height, int stride);
    const CRKBackground& Background() const { return backdrop_; }
    void ShowBackground(bool shown);
    // The window's client area; the next frame rebuilds the surfaces at that size.
    void SetWindowRect(int left, int top, int right, int bottom);
    // Places the camera by preset 0-5 around the avatar's root, at the scene scale, and
    // further back when the whole avatar would not show from there.
    bool PresetCamera(int index);
    // The camera as it stands beside the followed node, and the camera put there again.
    RKCameraPose CameraPose() const;
    void PlaceCamera(const RKCameraPose& pose);
    // The ground grid shown or not (shown until hidden).
    void ShowGround(bool shown);
    bool GroundShown() const;
    // Hangs the rotation ring "CircleLine" under node, or back under the world (none).
    void HangRing(rkNode* node);
    // The avatar's extent around its root in the rest pose (empty without an avatar).
    const RKFraming& Framing() const { return framing_; }
    // Copies a pose's local matrices onto the avatar in the world (the pose must have the
    // avatar's shape, as every motion on the standard skeleton has).
    // The avatar keeps the place the object tool moved it to.
    void PoseAvatar(const rkNode* pose);
    // Copies the avatar's local matrices into a pose tree of its shape, the object tool's
    // moves taken out: what the motion itself holds.
    void ReadAvatarPose(rkNode* pose) const;
    // The object tool's move of the avatar (its root). Moves add up and last: every pose put
    // on the avatar afterwards stands that far from the motion's own place.
    void MoveAvatar(const rkVector& by);
    const rkVector& AvatarMove() const { return avatarMove_; }

    RKViewport& Camera() { return camera_; }
    // The local translation of the node the camera orbits and follows.
    rkVector TargetPosition() const;
    // The colour frames are cleared to, as red, green and blue bytes.
    const uint8_t* BackgroundColor() const { return background_; }
    rkDevice& Device() { return device_; }
    CRKNode* World() const { return world_.get(); }
    CRKNode* Avatar() const { return avatar_; }
    rkNode* AvatarRoot() const { return avatarRoot_; }
    const CBodyReader* Body() const { return body_.get(); }
    // Device textures by file name.
    int TextureCount() const { return static_cast<int>(textures_.size()); }
    rkTexture* Texture(const std::string& file) const;

    float sceneScale = 1.0f;
    bool follow = false;
    rkVector cameraOffset{0, 0, 0};

private:
    struct SystemTexture {
        std::string path;
        rkTexture* texture = nullptr;
        std::vector<rkVisual*> users;
    };

    void BuildGround();
    void KeepGroundUnderTarget();
    void BuildRing();
    void BuildAvatar(const std::string& dataFolder);
    void LoadBodyTextures(const std::string& dataFolder);
    void MirrorAvatar();
    bool RebuildDevice(bool report);
    bool LoadTexture(SystemTexture& t);
    void FreeTextures();
    void ApplyWorldStates();
    void ApplyBackground();

    rkDevice device_{};
    rkHost* window_ = nullptr;
    RKViewport camera_;
    std::unique_ptr<CRKNode> world_;
    CRKNode* view_ = nullptr;
    CRKNode* target_ = nullptr;
    CRKNode* ground_ = nullptr;
    CRKNode* avatar_ = nullptr;
    rkNode* avatarRoot_ = nullptr;
    rkVector avatarMove_{0, 0, 0};
    RKFraming framing_;
    std::vector<std::unique_ptr<CRKLight>> lights_;
    CRKLight* headLight_ = nullptr;
    std::map<std::string, SystemTexture> textures_;
    rkMaterial defaultMaterial_{};
    uint8_t background_[3] = {0, 0, 0};
    float backgroundFloat_[3] = {0, 0, 0};
    int windowRect_[4] = {0, 0, 0, 0};
    CRKBackground backdrop_;
    // The avatar lives as long as the window: its bare skeleton and the body on it.
    std::unique_ptr<CBodyReader> body_;
    std::unique_ptr<CHTR> skeleton_;
};

}  // namespace tavrel
