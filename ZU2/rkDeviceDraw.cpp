// Meshes drawn through the streaming buffers, with the lights and the material they are lit by.
#include <algorithm>
#include <cstring>

#include "ZU2/rkDeviceGL.h"
#include "ZU2/rkMessage.h"
#include "ZU2/rkTexture.h"

namespace {

constexpr const char* kSource = "ZU2\\rkDeviceDraw";
constexpr int kStride = sizeof(rkVertex);

#define RK_CHECK() _rkCheckGL(kSource, __LINE__)

rkDevice* Current(const char* operation) { return _rkCurrent(operation); }

bool ValidLight(int index, const char* operation) {
    if (index >= 0 && index < kRkDeviceLights) return true;
    rkMessage("Invalid parameters (%s).", operation);
    return false;
}

// The current device for an operation on an object the caller must give.
rkDevice* CurrentWith(const void* given, const char* operation) {
    if (!given) {
        rkMessage("Invalid parameters (%s).", operation);
        return nullptr;
    }
    return Current(operation);
}

// The lights' uniforms are sent again only when a switch changes one.
int SwitchLight(int index, int32_t on, const char* operation) {
    if (!ValidLight(index, operation)) return 0;
    rkDevice* device = Current(operation);
    if (!device) return 0;
    if (device->lights[index].on != on) device->gl->dirty |= RK_DIRTY_LIGHTS;
    device->lights[index].on = on;
    return 1;
}

// ---- Drawing ---------------------------------------------------------------------------

int PrimitiveCount(int primitive, int count) {
    switch (primitive) {
        case RK_POINTLIST:
            return count;
        case RK_LINELIST:
            return count / 2;
        case RK_LINESTRIP:
            return std::max(count - 1, 0);
        case RK_TRIANGLELIST:
            return count / 3;
        default:
            return std::max(count - 2, 0);
    }
}

GLenum PrimitiveMode(int primitive) {
    static const GLenum kModes[] = {GL_POINTS,    GL_LINES,          GL_LINE_STRIP,
                                    GL_TRIANGLES, GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN};
    return kModes[primitive - 1];
}

// Turns on the attribute arrays the vertex format and the number of stages read.
void BindLayout(rkDeviceGL* gl, int format, int stages) {
    if (format != gl->boundFormat) {
        const bool normal = format != RK_VERTEX_UNLIT;  // format 3 keeps 1/w there
        const bool colour = format != RK_VERTEX_LIT;
        normal ? glEnableVertexAttribArray(1) : glDisableVertexAttribArray(1);
        colour ? glEnableVertexAttribArray(2) : glDisableVertexAttribArray(2);
        gl->boundFormat = format;
    }
    if (stages != gl->boundStages) {
        stages > 0 ? glEnableVertexAttribArray(3) : glDisableVertexAttribArray(3);
        stages > 1 ? glEnableVertexAttribArray(4) : glDisableVertexAttribArray(4);
        gl->boundStages = stages;
    }
}

// Appends bytes to a streaming buffer; the buffer is orphaned when it is full (or at the
// first write of a frame) so that draws still in flight keep their data. Returns the offset.
GLintptr Stream(GLenum target, GLsizeiptr* size, GLsizeiptr* used, const void* data,
                GLsizeiptr bytes, GLsizeiptr align) {
    GLintptr offset = (*used + align - 1) / align * align;
    GLbitfield access = GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT;
    if (bytes > *size) {
        *size = std::max(bytes, *size * 2);
        glBufferData(target, *size, nullptr, GL_STREAM_DRAW);
        offset = 0;
    } else if (offset + bytes > *size) {
        offset = 0;
    }
    access |= offset == 0 ? GL_MAP_INVALIDATE_BUFFER_BIT : GL_MAP_INVALIDATE_RANGE_BIT;
    void* mapped = glMapBufferRange(target, offset, bytes, access);
    if (!mapped) return -1;
    std::memcpy(mapped, data, static_cast<size_t>(bytes));
    glUnmapBuffer(target);
    *used = offset + bytes;
    return offset;
}

bool IndicesInRange(const rkMesh* mesh) {
    uint16_t highest = 0;
    for (int i = 0; i < mesh->indexCount; ++i) highest = std::max(highest, mesh->indices[i]);
    return mesh->indexCount == 0 || highest < mesh->vertexCount;
}

void BindStageTextures(rkDevice* device, const rkMesh* mesh) {
    for (int s = 0; s < kRkStages; ++s) {
        const uint32_t texture = device->texturingOn ? rkGetTextureSurface(mesh->textures[s]) : 0;
        if (texture == device->stageTexture[s]) continue;
        glActiveTexture(GL_TEXTURE0 + s);
        glBindTexture(GL_TEXTURE_2D, texture);
        device->stageTexture[s] = texture;
        ++device->stats.textureChanges;
    }
    glActiveTexture(GL_TEXTURE0);
}

int UsedStages(const rkDevice* device, const rkMesh* mesh) {
    int stages = 0;
    if (device->texturingOn) {
        while (stages < kRkStages && rkGetTextureSurface(mesh->textures[stages])) ++stages;
    }
    return stages;
}

bool Submit(rkDevice* device, const rkMesh* mesh, int stages) {
    rkDeviceGL* gl = device->gl;
    const bool indexed = (mesh->flags & RK_MESH_INDEXED) != 0;
    const GLintptr vertexOffset =
        Stream(GL_ARRAY_BUFFER, &gl->vertexSize, &gl->vertexUsed, mesh->vertices,
               GLsizeiptr{mesh->vertexCount} * kStride, kStride);
    if (vertexOffset < 0) return RK_CHECK() && false;
    BindLayout(gl, mesh->format, stages);
    _shFlush(device, mesh->format, stages);
    const GLint first = static_cast<GLint>(vertexOffset / kStride);
    const GLenum mode = PrimitiveMode(mesh->primitive);
    if (indexed) {
        const GLintptr indexOffset =
            Stream(GL_ELEMENT_ARRAY_BUFFER, &gl->indexSize, &gl->indexUsed, mesh->indices,
                   GLsizeiptr{mesh->indexCount} * 2, 4);
        if (indexOffset < 0) return RK_CHECK() && false;
        glDrawElementsBaseVertex(mode, mesh->indexCount, GL_UNSIGNED_SHORT,
                                 reinterpret_cast<const void*>(indexOffset), first);
    } else {
        glDrawArrays(mode, first, mesh->vertexCount);
    }
    return RK_CHECK();
}

}  // namespace

// ---- Lights ----------------------------------------------------------------------------

int rkSetLight(int index, const rkLightData* data) {
    if (!ValidLight(index, "rkSetLight")) return 0;
    rkDevice* device = CurrentWith(data, "rkSetLight");
    if (!device) return 0;
    rkLightData& cached = device->lights[index].data;
    // The changed flag travels with the data but does not change the light itself.
    rkLightData incoming = *data;
    incoming.flags = cached.flags;
    const bool same = std::memcmp(&incoming, &cached, sizeof incoming) == 0;
    cached = *data;
    if (data->type < 1 || data->type > 3) {
        rkMessage("Unknown light type: %d", data->type);
        return 0;
    }
    if (!same) {
        device->gl->dirty |= RK_DIRTY_LIGHTS;
        ++device->stats.lightChanges;
    }
    return 1;
}

int rkEnableLight(int index) {
    return SwitchLight(index, 1, "rkEnableLight");
}

int rkDisableLight(int index) {
    return SwitchLight(index, 0, "rkDisableLight");
}

int rkAllocLight(rkLight* light) {
    if (!light) return 0;
    const int slot = rkTakeLightSlot(light);
    if (slot < 0) {
        rkMessage("Too many lights. Light(%d) disabled", light->data.reserved);
        return 0;
    }
    return rkSetLight(slot, &light->data);
}

void rkReleaseLight(rkLight* light) {
    if (!light) return;
    // A slot given back must not keep shining with the old light's data.
    if (light->slot >= 0 && light->slot < kRkDeviceLights && rkGetCurrentDevice() &&
        rkGetCurrentDevice()->gl) {
        rkDisableLight(light->slot);
    }
    rkReleaseLightSlot(light);
    light->slot = -1;
}

// ---- Materials and states --------------------------------------------------------------

int rkSetMaterial(const rkMaterial* material) {
    rkDevice* device = CurrentWith(material, "rkSetMaterial");
    if (!device) return 0;
    if (device->materialValid &&
        std::memcmp(&device->material, material, sizeof *material) == 0) {
        return 1;
    }
    device->material = *material;
    device->materialValid = 1;
    device->gl->dirty |= RK_DIRTY_MATERIAL;
    ++device->stats.materialChanges;
    return 1;
}

int rkDrawMesh(const rkMesh* mesh) {
    rkDevice* device = CurrentWith(mesh, "rkDrawMesh");
    if (!device) return 0;
    if (mesh->primitive < RK_POINTLIST || mesh->primitive > RK_TRIANGLEFAN) {
        rkMessage("Unknown primitive type = %d", mesh->primitive);
        return 0;
    }
    const bool indexed = (mesh->flags & RK_MESH_INDEXED) != 0;
    const int count = indexed ? mesh->indexCount : mesh->vertexCount;
    device->stats.primitives += PrimitiveCount(mesh->primitive, count);
    if (mesh->format < RK_VERTEX_LIT || mesh->format > RK_VERTEX_SCREEN) {
        rkMessage("Unknown vertex format : %d", mesh->format);
        return 0;
    }
    const int stages = UsedStages(device, mesh);
    if (mesh->flags & RK_MESH_MATERIAL) rkSetMaterial(&mesh->material);
    BindStageTextures(device, mesh);
    if (count <= 0 || !mesh->vertices || (indexed && !mesh->indices)) return 1;
    if (indexed && !IndicesInRange(mesh)) {
        rkMessage("Index out of range (rkDrawMesh).");
        return 0;
    }
    device->stats.vertices += mesh->vertexCount;
    ++device->stats.meshes;
    return Submit(device, mesh, stages) ? 1 : 0;
}
