// Just enough of PNG to look at screenshots and exported drawings: 8-bit RGB or RGBA, not
// interlaced, as browsers write them.
import zlib from "node:zlib";

export function decodePng(bytes) {
    if (bytes.readUInt32BE(0) !== 0x89504e47) {
        throw new Error("not a PNG file");
    }
    let width = 0, height = 0, channels = 0;
    const compressed = [];
    for (let at = 8; at < bytes.length;) {
        const length = bytes.readUInt32BE(at);
        const type = bytes.toString("latin1", at + 4, at + 8);
        const data = bytes.subarray(at + 8, at + 8 + length);
        if (type === "IHDR") {
            width = data.readUInt32BE(0);
            height = data.readUInt32BE(4);
            const [depth, colour, , , interlace] = data.subarray(8);
            channels = { 2: 3, 6: 4 }[colour];
            if (depth !== 8 || !channels || interlace) {
                throw new Error(`unsupported PNG: depth ${depth}, colour type ${colour}`);
            }
        } else if (type === "IDAT") {
            compressed.push(data);
        }
        at += 12 + length;
    }
    const raw = zlib.inflateSync(Buffer.concat(compressed));
    const stride = width * channels;
    const pixels = Buffer.alloc(stride * height);
    for (let y = 0; y < height; ++y) {
        const filter = raw[y * (stride + 1)];
        const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
        for (let i = 0; i < stride; ++i) {
            const a = i >= channels ? pixels[y * stride + i - channels] : 0;
            const b = y > 0 ? pixels[(y - 1) * stride + i] : 0;
            const c = y > 0 && i >= channels ? pixels[(y - 1) * stride + i - channels] : 0;
            pixels[y * stride + i] = (line[i] + predictor(filter, a, b, c)) & 0xff;
        }
    }
    const rgb = (x, y) => {
        const at = (y * width + x) * channels;
        return [pixels[at], pixels[at + 1], pixels[at + 2]];
    };
    return { width, height, rgb };
}

function predictor(filter, a, b, c) {
    switch (filter) {
        case 0: return 0;
        case 1: return a;
        case 2: return b;
        case 3: return (a + b) >> 1;
        case 4: {
            const p = a + b - c;
            const pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
            return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        }
        default: throw new Error(`bad PNG filter ${filter}`);
    }
}

// Dark pixels (ink on white paper) inside a rectangle of the image.
export function countInk(image, { x, y, width, height }) {
    let ink = 0;
    for (let row = Math.max(0, y); row < Math.min(image.height, y + height); ++row) {
        for (let column = Math.max(0, x); column < Math.min(image.width, x + width); ++column) {
            const [r, g, b] = image.rgb(column, row);
            if (r + g + b < 3 * 128) {
                ++ink;
            }
        }
    }
    return ink;
}
