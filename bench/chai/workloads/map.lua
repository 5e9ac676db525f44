-- 200,000 table inserts and 200,000 lookups by string key.
local m = {}
for i = 0, 199999 do
  m["k" .. i] = i % 1000
end
local total = 0
for i = 0, 199999 do
  total = total + m["k" .. i]
end
print(total)
