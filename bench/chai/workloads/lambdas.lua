-- 1,200,000 calls of closures with upvalues, kept in a table and called through it.
local scale = 3
local offset = 7
local steps = {
  function(x) return x * scale end,
  function(x) return x + offset end,
  function(x) return (x + offset) % scale end,
}
local total = 0
for i = 0, 1199999 do
  total = total + steps[i % 3 + 1](i % 100)
end
print(total)
