// What the page holds between events, in one place: the picture, the run
// under way and the result on screen, for the single sprite and the sheet
// alike; and the page's one way of finding its elements.
export const $ = (id) => document.getElementById(id);

export const state = {
  picture: null,  // the picked picture: { name, key, bytes, size, file, facts, view, cell, mode }
  pictures: 0,  // pictures handed to the worker: each one's key
  picks: 0,  // pictures picked: a read that finishes after the next pick is stale
  sheetView: false,  // the sheet's view, not the single sprite's
  fixedCopy: null,  // the copy made with the chosen registers, offered for download
  running: null,  // the run under way: its inputs, read when it started
  shown: null,  // the single sprite's result on screen, with the inputs it belongs to
  sheetShown: null,  // the sheet's result on screen: its inputs, its blocks, its frames
  project: null,  // the project on screen: its file's name, quorvel-sheet's report, the files it wrote
  downloadUrls: [],  // addresses made for downloads, revoked with their result
  liveTimer: 0,  // a large picture's run waits for the typing to stop
  touched: new Set(),  // the registers the person set, which presets leave alone
  c64Colours: [],  // the C64's colours by number, [name, '#rrggbb'], as the programs know them
};

// A picture this large converts for a while: its runs wait until the typing stops.
export const largePicture = 1 << 16;
