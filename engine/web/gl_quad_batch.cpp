#include "engine/web/gl_quad_batch.h"

#include <GLES2/gl2.h>

#include <cstddef>

namespace {

// Scene pixels (origin top-left, y down) to clip space.
constexpr const char* VertexShader = R"(
attribute vec2 position;
attribute vec4 colour;
attribute vec2 texel;
uniform vec2 scene;
varying vec4 tint;
varying vec2 uv;
void main() {
    gl_Position = vec4(position.x * 2.0 / scene.x - 1.0, 1.0 - position.y * 2.0 / scene.y, 0.0, 1.0);
    tint = colour;
    uv = texel;
}
)";

constexpr const char* FragmentShader = R"(
precision mediump float;
uniform sampler2D picture;
varying vec4 tint;
varying vec2 uv;
void main() { gl_FragColor = texture2D(picture, uv) * tint; }
)";

enum Attribute : GLuint { Position, Colour, Texel };

GLuint Compile(GLenum type, const char* source, std::string& error) {
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled) return shader;
    char log[512] = {};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    error = std::string("cannot compile a shader: ") + log;
    glDeleteShader(shader);
    return 0;
}

GLuint Link(std::string& error) {
    const GLuint vertex = Compile(GL_VERTEX_SHADER, VertexShader, error);
    const GLuint fragment = vertex ? Compile(GL_FRAGMENT_SHADER, FragmentShader, error) : 0;
    if (!fragment) {
        if (vertex) glDeleteShader(vertex);
        return 0;
    }
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glBindAttribLocation(program, Position, "position");
    glBindAttribLocation(program, Colour, "colour");
    glBindAttribLocation(program, Texel, "texel");
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked) return program;
    char log[512] = {};
    glGetProgramInfoLog(program, sizeof log, nullptr, log);
    error = std::string("cannot link the shaders: ") + log;
    glDeleteProgram(program);
    return 0;
}

// As the window's renderer blends: alpha, or added on top.
void Blend(int blend) {
    if (blend & BlendDefault)
        glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    else
        glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE, GL_ZERO, GL_ONE);
}

}  // namespace

bool GlQuadBatch::Attach(int sceneWidth, int sceneHeight, std::string& error) {
    Detach();
    program = Link(error);
    if (!program) return false;
    glUseProgram(program);
    glUniform2f(glGetUniformLocation(program, "scene"), static_cast<float>(sceneWidth),
                static_cast<float>(sceneHeight));
    glUniform1i(glGetUniformLocation(program, "picture"), 0);

    const std::vector<std::uint16_t> indices = QuadIndices();
    glGenBuffers(1, &indexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof indices[0]),
                 indices.data(), GL_STATIC_DRAW);

    glGenBuffers(1, &vertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
    const auto stride = static_cast<GLsizei>(sizeof(BatchVertex));
    glEnableVertexAttribArray(Position);
    glVertexAttribPointer(Position, 2, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(BatchVertex, x)));
    glEnableVertexAttribArray(Colour);
    glVertexAttribPointer(Colour, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                          reinterpret_cast<const void*>(offsetof(BatchVertex, r)));
    glEnableVertexAttribArray(Texel);
    glVertexAttribPointer(Texel, 2, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(BatchVertex, u)));

    glGenTextures(1, &white);
    glBindTexture(GL_TEXTURE_2D, white);
    const std::uint32_t texel = 0xFFFFFFFF;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, &texel);

    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glActiveTexture(GL_TEXTURE0);
    glViewport(0, 0, sceneWidth, sceneHeight);
    run.vertices.reserve(4 * 1024);
    attached = true;
    return true;
}

void GlQuadBatch::Detach() {
    run.vertices.clear();
    if (!attached) return;
    glDeleteTextures(1, &white);
    glDeleteBuffers(1, &vertexBuffer);
    glDeleteBuffers(1, &indexBuffer);
    glDeleteProgram(program);
    program = vertexBuffer = indexBuffer = white = run.texture = 0;
    attached = false;
}

void GlQuadBatch::Add(const Quad& quad, const WebTextures& textures) {
    if (!attached) return;
    const WebTextures::Entry* entry = quad.texture ? textures.Find(quad.texture) : nullptr;
    const unsigned texture = entry && entry->texture ? entry->texture : white;
    if (run.EndsWith(texture, quad.blend)) Flush();
    run.Append(quad, texture);
}

void GlQuadBatch::Flush() {
    if (run.vertices.empty() || !attached) return;
    Blend(run.blend);
    glBindTexture(GL_TEXTURE_2D, run.texture);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(run.vertices.size() * sizeof(BatchVertex)),
                 run.vertices.data(), GL_STREAM_DRAW);
    glDrawElements(GL_TRIANGLES, run.IndexCount(), GL_UNSIGNED_SHORT, nullptr);
    ++drawCalls;
    run.vertices.clear();
}
