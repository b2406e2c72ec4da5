// The one shader program that stands in for the fixed-function pipeline: transform (or
// pre-transformed screen vertices), per-vertex lighting with eight lights, flat or Gouraud
// colours, two texture stages, specular add, table fog and the alpha test.
#include <cmath>

#include "ZU2/rkDeviceGL.h"
#include "ZU2/rkMessage.h"

namespace {

const char* const kVertexShader = R"(#version 330 core
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec4 aColour;
layout(location = 3) in vec2 aUV0;
layout(location = 4) in vec2 aUV1;

// Matrices arrive row-major in the row-vector convention, so p x M is M * p here.
uniform mat4 uWorld, uView, uProjection;
uniform vec3 uEye;
uniform vec2 uViewport;
uniform bool uRemapDepth;
uniform int uFormat;
uniform bool uLighting, uSpecular;
uniform vec4 uAmbient;
uniform vec4 uMatDiffuse, uMatAmbient, uMatSpecular;
uniform float uMatPower;
// The lights that are on, packed first in their device order: the loop ends at uLightCount
// because llvmpipe runs every iteration of a loop and both sides of a branch on every vertex.
uniform int uLightCount;
uniform int uLightType[8];
uniform vec4 uLightDiffuse[8];
uniform vec3 uLightPosition[8], uLightDirection[8], uLightAttenuation[8];
uniform vec3 uLightSpot[8];  // cos(inner / 2), cos(outer / 2), falloff

out vec4 vDiffuse;
out vec3 vSpecular;
flat out vec4 vFlatDiffuse;
flat out vec3 vFlatSpecular;
out vec2 vUV0, vUV1;
out float vFogDepth;

const float kLightAmbient = 0.1;
const float kLightSpecular = 0.6;
const float kRange = 1.8446743e19;  // sqrt of the largest float

void light(vec3 P, vec3 N, vec3 V, inout vec3 ambient, inout vec3 diffuse, inout vec3 specular) {
    for (int i = 0; i < uLightCount; ++i) {
        int type = uLightType[i];
        vec3 L;
        float f = 1.0;
        if (type == 1) {
            L = -normalize(uLightDirection[i]);
        } else {
            vec3 toLight = uLightPosition[i] - P;
            float d = length(toLight);
            if (d > kRange) continue;
            L = d > 0.0 ? toLight / d : vec3(0.0, 0.0, 1.0);
            vec3 a = uLightAttenuation[i];
            float denominator = a.x + a.y * d + a.z * d * d;
            f = denominator > 0.0 ? 1.0 / denominator : 1.0;
            if (type == 3) {
                vec3 s = uLightSpot[i];
                float rho = dot(normalize(uLightDirection[i]), -L);
                if (rho <= s.y) f = 0.0;
                else if (rho < s.x && s.z != 0.0) f *= pow((rho - s.y) / (s.x - s.y), s.z);
            }
        }
        ambient += f * kLightAmbient;
        float nDotL = max(dot(N, L), 0.0);
        diffuse += f * nDotL * uLightDiffuse[i].rgb;
        if (uSpecular && nDotL > 0.0) {
            float nDotH = max(dot(N, normalize(L + V)), 0.0);
            specular += f * kLightSpecular * pow(nDotH, uMatPower);
        }
    }
}

void main() {
    vec4 diffuse = aColour;
    vec3 specular = vec3(0.0);
    if (uFormat == 3) {
        // Screen pixels with centres on whole numbers and y down; w restores perspective.
        float w = aNormal.x > 0.0 ? 1.0 / aNormal.x : 1.0;
        vec2 ndc = vec2((aPosition.x + 0.5) / uViewport.x * 2.0 - 1.0,
                        1.0 - (aPosition.y + 0.5) / uViewport.y * 2.0);
        gl_Position = vec4(ndc * w, aPosition.z * w, w);
    } else {
        vec4 world = uWorld * vec4(aPosition, 1.0);
        gl_Position = uProjection * (uView * world);
        if (uLighting) {
            vec3 n = mat3(uWorld) * aNormal;
            vec3 N = dot(n, n) > 0.0 ? normalize(n) : vec3(0.0);
            vec3 ambient = vec3(0.0), lit = vec3(0.0), highlight = vec3(0.0);
            light(world.xyz, N, normalize(uEye - world.xyz), ambient, lit, highlight);
            diffuse.rgb = uMatAmbient.rgb * (uAmbient.rgb + ambient) + uMatDiffuse.rgb * lit;
            diffuse = clamp(vec4(diffuse.rgb, uMatDiffuse.a), 0.0, 1.0);
            specular = clamp(uMatSpecular.rgb * highlight, 0.0, 1.0);
        }
    }
    vFogDepth = gl_Position.w;
    if (uRemapDepth) gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;
    vDiffuse = vFlatDiffuse = diffuse;
    vSpecular = vFlatSpecular = specular;
    vUV0 = aUV0;
    vUV1 = aUV1;
}
)";

const char* const kFragmentShader = R"(#version 330 core
in vec4 vDiffuse;
in vec3 vSpecular;
flat in vec4 vFlatDiffuse;
flat in vec3 vFlatSpecular;
in vec2 vUV0, vUV1;
in float vFogDepth;

uniform bool uFlat;
uniform int uStageCount;
uniform int uStageOp[2];
uniform sampler2D uTexture0, uTexture1;
uniform int uFogMode;  // 0 none, 1 exp, 2 exp squared, 3 linear
uniform vec3 uFog;     // start, end, density
uniform vec4 uFogColour;
uniform int uAlphaFunc;  // comparison, 8 = always
uniform float uAlphaRef;

out vec4 fragColour;

// Texture operation op with argument 1 = the texture and argument 2 = the current colour.
vec3 combine(int op, vec4 t, vec4 c, vec4 d) {
    switch (op) {
        case 2: return t.rgb;
        case 3: return c.rgb;
        case 5: return t.rgb * c.rgb * 2.0;
        case 6: return t.rgb * c.rgb * 4.0;
        case 7: return t.rgb + c.rgb;
        case 8: return t.rgb + c.rgb - 0.5;
        case 9: return (t.rgb + c.rgb - 0.5) * 2.0;
        case 10: return t.rgb - c.rgb;
        case 11: return t.rgb + c.rgb - t.rgb * c.rgb;
        case 12: return mix(c.rgb, t.rgb, d.a);
        case 13: return mix(c.rgb, t.rgb, t.a);
        case 16: return mix(c.rgb, t.rgb, c.a);
        default: return t.rgb * c.rgb;
    }
}

bool passes(int func, float a, float ref) {
    switch (func) {
        case 1: return false;
        case 2: return a < ref;
        case 3: return a == ref;
        case 4: return a <= ref;
        case 5: return a > ref;
        case 6: return a != ref;
        case 7: return a >= ref;
        default: return true;
    }
}

void main() {
    vec4 diffuse = uFlat ? vFlatDiffuse : vDiffuse;
    vec3 specular = uFlat ? vFlatSpecular : vSpecular;
    vec4 current = diffuse;
    for (int s = 0; s < uStageCount; ++s) {
        if (uStageOp[s] == 1) break;
        vec4 t = s == 0 ? texture(uTexture0, vUV0) : texture(uTexture1, vUV1);
        current = vec4(clamp(combine(uStageOp[s], t, current, diffuse), 0.0, 1.0), t.a);
    }
    current.rgb = min(current.rgb + specular, 1.0);
    if (uFogMode != 0) {
        float d = vFogDepth, f;
        if (uFogMode == 3) f = uFog.y != uFog.x ? (uFog.y - d) / (uFog.y - uFog.x) : float(d < uFog.y);
        else if (uFogMode == 1) f = exp(-d * uFog.z);
        else f = exp(-(d * uFog.z) * (d * uFog.z));
        current.rgb = mix(uFogColour.rgb, current.rgb, clamp(f, 0.0, 1.0));
    }
    if (!passes(uAlphaFunc, floor(current.a * 255.0 + 0.5), uAlphaRef)) discard;
    fragColour = current;
}
)";

GLuint CompileShader(GLenum kind, const char* source) {
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[512];
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        rkMessage("Shader compile failed: %s", log);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

void LocateUniforms(GLuint p, rkUniforms* u) {
    const auto at = [p](const char* name) { return glGetUniformLocation(p, name); };
    u->world = at("uWorld");
    u->view = at("uView");
    u->projection = at("uProjection");
    u->eye = at("uEye");
    u->viewport = at("uViewport");
    u->remapDepth = at("uRemapDepth");
    u->format = at("uFormat");
    u->lighting = at("uLighting");
    u->specular = at("uSpecular");
    u->ambient = at("uAmbient");
    u->matDiffuse = at("uMatDiffuse");
    u->matAmbient = at("uMatAmbient");
    u->matSpecular = at("uMatSpecular");
    u->matPower = at("uMatPower");
    u->lightCount = at("uLightCount");
    u->lightType = at("uLightType");
    u->lightDiffuse = at("uLightDiffuse");
    u->lightPosition = at("uLightPosition");
    u->lightDirection = at("uLightDirection");
    u->lightAttenuation = at("uLightAttenuation");
    u->lightSpot = at("uLightSpot");
    u->flat = at("uFlat");
    u->stageCount = at("uStageCount");
    u->stageOp = at("uStageOp");
    u->texture0 = at("uTexture0");
    u->texture1 = at("uTexture1");
    u->fogMode = at("uFogMode");
    u->fog = at("uFog");
    u->fogColour = at("uFogColour");
    u->alphaFunc = at("uAlphaFunc");
    u->alphaRef = at("uAlphaRef");
}

void SendColour(GLint location, uint32_t argb) {
    glUniform4f(location, ((argb >> 16) & 255) / 255.0f, ((argb >> 8) & 255) / 255.0f,
                (argb & 255) / 255.0f, (argb >> 24) / 255.0f);
}

void SendLights(const rkDevice* device) {
    const rkUniforms& u = device->gl->u;
    GLint type[kRkDeviceLights];
    GLfloat diffuse[kRkDeviceLights][4], position[kRkDeviceLights][3];
    GLfloat direction[kRkDeviceLights][3], attenuation[kRkDeviceLights][3];
    GLfloat spot[kRkDeviceLights][3];
    int count = 0;
    for (int i = 0; i < kRkDeviceLights; ++i) {
        const rkLightData& d = device->lights[i].data;
        const bool known = d.type >= 1 && d.type <= 3;  // a refused type stays dark
        if (!device->lights[i].on || !known) continue;
        const int n = count++;
        type[n] = d.type;
        for (int c = 0; c < 4; ++c) diffuse[n][c] = d.diffuse[c];
        position[n][0] = d.position.x, position[n][1] = d.position.y, position[n][2] = d.position.z;
        direction[n][0] = d.direction.x, direction[n][1] = d.direction.y;
        direction[n][2] = d.direction.z;
        for (int c = 0; c < 3; ++c) attenuation[n][c] = d.attenuation[c];
        spot[n][0] = std::cos(d.theta / 2.0f);
        spot[n][1] = std::cos(d.phi / 2.0f);
        spot[n][2] = d.falloff;
    }
    glUniform1i(u.lightCount, count);
    if (count == 0) return;
    glUniform1iv(u.lightType, count, type);
    glUniform4fv(u.lightDiffuse, count, &diffuse[0][0]);
    glUniform3fv(u.lightPosition, count, &position[0][0]);
    glUniform3fv(u.lightDirection, count, &direction[0][0]);
    glUniform3fv(u.lightAttenuation, count, &attenuation[0][0]);
    glUniform3fv(u.lightSpot, count, &spot[0][0]);
}

void SendMaterial(const rkDevice* device) {
    const rkUniforms& u = device->gl->u;
    const rkMaterial& m = device->material;
    glUniform4fv(u.matDiffuse, 1, m.diffuse);
    glUniform4fv(u.matAmbient, 1, m.ambient);
    glUniform4fv(u.matSpecular, 1, m.specular);
    glUniform1f(u.matPower, m.power);
}

void SendStates(const rkDevice* device) {
    const rkDeviceGL* gl = device->gl;
    const rkUniforms& u = gl->u;
    const rkShaderState& s = gl->shader;
    glUniform1i(u.lighting, s.lighting);
    glUniform1i(u.specular, s.specular);
    glUniform1i(u.flat, s.flat);
    SendColour(u.ambient, s.ambient);
    glUniform1i(u.fogMode, s.fogEnable ? s.fogMode : 0);
    glUniform3f(u.fog, s.fogStart, s.fogEnd, s.fogDensity);
    SendColour(u.fogColour, s.fogColour);
    glUniform1i(u.alphaFunc, s.alphaTest ? s.alphaFunc : 8);
    glUniform1f(u.alphaRef, static_cast<float>(s.alphaRef & 255));
    glUniform1iv(u.stageOp, kRkStages, s.stageOp);
    glUniform2f(u.viewport, static_cast<float>(device->width), static_cast<float>(device->height));
    glUniform1i(u.remapDepth, gl->clipControl ? 0 : 1);
}

}  // namespace

bool _shCreateProgram(rkDeviceGL* gl) {
    GLuint vs = CompileShader(GL_VERTEX_SHADER, kVertexShader);
    GLuint fs = CompileShader(GL_FRAGMENT_SHADER, kFragmentShader);
    if (!vs || !fs) {
        glDeleteShader(vs);
        glDeleteShader(fs);
        return false;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[512];
        glGetProgramInfoLog(program, sizeof log, nullptr, log);
        rkMessage("Shader link failed: %s", log);
        glDeleteProgram(program);
        return false;
    }
    gl->program = program;
    LocateUniforms(program, &gl->u);
    glUseProgram(program);
    glUniform1i(gl->u.texture0, 0);
    glUniform1i(gl->u.texture1, 1);
    gl->dirty = RK_DIRTY_ALL;
    gl->drawFormat = gl->drawStages = -1;
    return true;
}

void _shDestroyProgram(rkDeviceGL* gl) {
    if (gl->program) glDeleteProgram(gl->program);
    gl->program = 0;
}

void _shFlush(rkDevice* device, int format, int stages) {
    rkDeviceGL* gl = device->gl;
    const uint32_t dirty = gl->dirty;
    if (dirty & RK_DIRTY_WORLD) {
        glUniformMatrix4fv(gl->u.world, 1, GL_FALSE, device->transforms[0].m);
    }
    if (dirty & RK_DIRTY_VIEW) {
        glUniformMatrix4fv(gl->u.view, 1, GL_FALSE, device->transforms[1].m);
        glUniform3f(gl->u.eye, gl->eye.x, gl->eye.y, gl->eye.z);
    }
    if (dirty & RK_DIRTY_PROJECTION) {
        glUniformMatrix4fv(gl->u.projection, 1, GL_FALSE, device->transforms[2].m);
    }
    if (dirty & RK_DIRTY_LIGHTS) SendLights(device);
    if (dirty & RK_DIRTY_MATERIAL) SendMaterial(device);
    if (dirty & RK_DIRTY_STATES) SendStates(device);
    gl->dirty = 0;
    if (format != gl->drawFormat) glUniform1i(gl->u.format, gl->drawFormat = format);
    if (stages != gl->drawStages) glUniform1i(gl->u.stageCount, gl->drawStages = stages);
}
