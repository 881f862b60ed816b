// What both views draw: a sprite as a C64 shows it, a colour swatch with its
// words, and a download made only when it is followed.
import { spriteCodes } from './logic.mjs';
import { $, state } from './state.mjs';

// A sprite's 63 bytes drawn as a C64 shows them, in the colours of the
// registers (`colours`: C64 colour numbers by code): a pixel a pixel of a
// 24 by 21 canvas (the page scales it), else each pixel a square.
export function paintSprite(canvas, sprite, hires, colours) {
  const context = canvas.getContext('2d');
  const size = canvas.width / 24;
  const codes = spriteCodes(sprite, hires);
  const hex = colours.map((number) => state.c64Colours[number][1]);
  if (size === 1) {
    const rgb = hex.map((colour) => parseInt(colour.slice(1), 16));
    const image = context.createImageData(24, 21);
    let at = 0;
    for (const row of codes)
      for (const code of row) {
        const colour = rgb[code];
        image.data[at++] = colour >> 16;
        image.data[at++] = colour >> 8 & 255;
        image.data[at++] = colour & 255;
        image.data[at++] = 255;
      }
    context.putImageData(image, 0, 0);
    return;
  }
  codes.forEach((row, y) => row.forEach((code, x) => {
    context.fillStyle = hex[code];
    context.fillRect(x * size, y * size, size, size);
  }));
}

export function swatch(colour, label) {
  const box = document.createElement('span');
  box.className = 'swatch';
  box.style.background = colour;
  box.setAttribute('aria-hidden', 'true');
  const text = document.createElement('span');
  text.textContent = label;
  return [box, text];
}

// The colour a register's choice shows, "#rrggbb".
export function chosenColour(registerId) {
  return state.c64Colours[$(registerId).value][1];
}

// The name of the C64 colour a register's choice shows.
export function chosenName(registerId) {
  return state.c64Colours[$(registerId).value][0];
}

// A link that downloads `bytes` as `name`: its address is made when it is
// first followed, so that showing a result makes none.
export function offerDownload(link, bytes, name, type) {
  link.download = name;
  link.removeAttribute('href');
  link.setAttribute('role', 'link');
  link.tabIndex = 0;
  link.onclick = () => {
    if (link.href) return;
    const url = URL.createObjectURL(new Blob([bytes], { type }));
    state.downloadUrls.push(url);
    link.href = url;
  };
  link.onkeydown = (event) => {
    if (event.key === 'Enter' && !link.href) link.click();
  };
}

// Sets a register's colour: a preset only where the person has not set it.
export function setRegister(id, number, byPerson = false) {
  if (!byPerson && state.touched.has(id)) return;
  if (byPerson) state.touched.add(id);
  $(id).value = String(number);
}
